// Helpers of the ribbon tests: a module's settings, a reader of the
// markup's start tags, the attribute pairs Office refuses at load time, and
// xmllint against Office's schemas.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ribbon/ribbon_module.h"
#include "testing/temp_dir.h"

namespace trovex::ribbon::testing {

// An Outlook-only module with the add-in's namespace and ProgID.
inline RibbonModuleSettings OutlookRibbonSettings() {
  return {{OfficeHostApp::Outlook}, "QM_AddIns", "QM_MSOAddIn.MSOAddIn"};
}

// A start or empty tag of the markup.
struct Tag {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;  // values as written

  const std::string* Find(std::string_view attribute) const {
    for (const auto& [n, v] : attributes) {
      if (n == attribute) return &v;
    }
    return nullptr;
  }
};

// Every start and empty tag in document order. Values hold no raw quote.
inline std::vector<Tag> Tags(std::string_view markup) {
  std::vector<Tag> tags;
  std::size_t i = 0;
  const auto skipSpace = [&] {
    while (i < markup.size() && (markup[i] == ' ' || markup[i] == '\t' || markup[i] == '\r' || markup[i] == '\n')) ++i;
  };
  while ((i = markup.find('<', i)) != std::string_view::npos) {
    ++i;
    if (i < markup.size() && markup[i] == '/') continue;
    Tag tag;
    while (i < markup.size() && markup[i] != ' ' && markup[i] != '>' && markup[i] != '/') tag.name += markup[i++];
    for (;;) {
      skipSpace();
      if (i >= markup.size() || markup[i] == '>' || markup[i] == '/') break;
      const std::size_t equals = markup.find('=', i);
      const std::string name(markup.substr(i, equals - i));
      const std::size_t close = markup.find('"', equals + 2);
      tag.attributes.emplace_back(name, std::string(markup.substr(equals + 2, close - equals - 2)));
      i = close + 1;
    }
    tags.push_back(std::move(tag));
  }
  return tags;
}

// Pairs the schema allows but Office refuses when it loads the markup: a
// value together with its callback (label with getLabel), more than one
// identity (id, idQ, idMso), image or insert position.
inline std::vector<std::string> RefusedPairs(std::string_view markup) {
  std::vector<std::string> refused;
  const auto exclusive = [&](const Tag& tag, std::initializer_list<std::string_view> names) {
    std::string present;
    int count = 0;
    for (std::string_view n : names) {
      if (tag.Find(n)) {
        present += (count++ ? "+" : "") + std::string(n);
      }
    }
    if (count > 1) refused.push_back(tag.name + ": " + present);
  };
  for (const Tag& tag : Tags(markup)) {
    exclusive(tag, {"id", "idQ", "idMso"});
    exclusive(tag, {"image", "imageMso", "getImage"});
    exclusive(tag, {"insertAfterMso", "insertBeforeMso", "insertAfterQ", "insertBeforeQ"});
    for (const auto& [name, value] : tag.attributes) {
      // getImage is one of the image attributes above.
      if (name.size() <= 3 || !name.starts_with("get") || name == "getImage") continue;
      std::string plain = name.substr(3);
      plain[0] = static_cast<char>(plain[0] - 'A' + 'a');
      if (tag.Find(plain)) refused.push_back(tag.name + ": " + plain + "+" + name);
    }
  }
  return refused;
}

struct LintResult {
  int exitCode = -1;
  std::string output;
};

// xmllint --noout --schema on the markup as a file.
inline LintResult Xmllint(std::string_view markup, std::string_view schemaFile) {
  const trovex::testing::TempDir dir("trovex-ribbon");
  const auto file = dir.Write("markup.xml", markup);
  const std::string schema = std::string(TROVEX_CORPUS_DIR) + "/schemas/" + std::string(schemaFile);
  const std::string command = "xmllint --noout --schema '" + schema + "' '" + file.string() + "' 2>&1";
  LintResult result;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buffer{};
  std::size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), n);
  const int status = ::pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace trovex::ribbon::testing
