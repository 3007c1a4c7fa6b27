#include "support/posix/known_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <vector>

namespace trovex::posix {
namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string_view SkipBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

// The double-quoted shell word at the start of `s`, with backslash escapes
// resolved; nullopt when it is not closed.
std::optional<std::string> QuotedWord(std::string_view s) {
  if (s.empty() || s.front() != '"') return std::nullopt;
  std::string out;
  for (std::size_t i = 1; i < s.size(); ++i) {
    if (s[i] == '"') return out;
    if (s[i] == '\\' && i + 1 < s.size()) ++i;
    out += s[i];
  }
  return std::nullopt;
}

}  // namespace

std::string HomeDirectory(const EnvLookup& env) {
  if (auto home = env("HOME"); home && !home->empty()) return *home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir) {
    return found->pw_dir;
  }
  return "/";
}

std::string ConfigHome(const EnvLookup& env) {
  if (auto dir = env("XDG_CONFIG_HOME"); dir && dir->starts_with('/')) return WithoutTrailingSlashes(*dir);
  return WithoutTrailingSlashes(HomeDirectory(env)) + "/.config";
}

std::optional<std::string> UserDirFromText(std::string_view text, std::string_view key, std::string_view home) {
  std::optional<std::string> result;
  std::istringstream lines{std::string(text)};
  std::string line;
  while (std::getline(lines, line)) {
    std::string_view s = SkipBlanks(line);
    if (!s.starts_with(key)) continue;
    s = SkipBlanks(s.substr(key.size()));
    if (!s.starts_with('=')) continue;
    const auto word = QuotedWord(SkipBlanks(s.substr(1)));
    if (!word) continue;
    std::string_view value = *word;
    if (value == "$HOME" || value.starts_with("$HOME/")) {
      result = std::string(home) + std::string(value.substr(5));
    } else if (value.starts_with('/')) {
      result = std::string(value);
    }
  }
  return result;
}

std::string PersonalFolder(const EnvLookup& env) {
  const std::string home = WithoutTrailingSlashes(HomeDirectory(env));
  std::ifstream file(ConfigHome(env) + "/user-dirs.dirs");
  if (file) {
    std::ostringstream text;
    text << file.rdbuf();
    if (auto dir = UserDirFromText(text.str(), "XDG_DOCUMENTS_DIR", home)) return WithoutTrailingSlashes(*dir);
  }
  if (auto dir = env("XDG_DOCUMENTS_DIR"); dir && !dir->empty()) return WithoutTrailingSlashes(*dir);
  return WithoutTrailingSlashes(home);
}

}  // namespace trovex::posix

namespace trovex {

std::string PersonalFolder() { return posix::PersonalFolder(EnvironmentValue); }

}  // namespace trovex
