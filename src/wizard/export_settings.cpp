#include "wizard/export_settings.h"

#include "support/text_utils.h"

namespace trovex::wizard {
namespace {

constexpr RegistryRoot kRoot = RegistryRoot::CurrentUser;

}  // namespace

std::string FlagsText(std::optional<int> chosen, int positions) {
  if (positions <= 0) return {};
  std::string text(static_cast<std::size_t>(positions), '0');
  if (chosen && *chosen >= 0 && *chosen < positions) text[static_cast<std::size_t>(*chosen)] = '1';
  return text;
}

std::optional<int> ApplyFlagsText(std::string_view text, int positions, std::optional<int> initial) {
  if (text.empty()) return initial;
  int checked = initial.value_or(-1);  // -1: none
  for (int i = 0; i < positions; ++i) {
    const auto at = static_cast<std::size_t>(i);
    const char c = at < text.size() ? text[at] : '0';
    if (c >= '1' && c <= '9') {
      checked = i;
    } else if (checked == i) {
      checked = -1;
    }
  }
  return checked >= 0 ? std::optional<int>(checked) : std::nullopt;
}

ExportSettings LoadSettings(Registry& registry, const std::function<std::string()>& personalFolder) {
  ExportSettings s;
  const auto read = [&](std::string_view name) { return registry.ReadRegString(kRoot, kSettingsKey, name); };
  const auto readBool = [&](std::string_view name) { return registry.ReadRegBool(kRoot, kSettingsKey, name); };

  if (const auto folderRule =
          ApplyFlagsText(read("AttachFolderOption"), kSubfolderRuleCount, static_cast<int>(SubfolderRule::None))) {
    s.AttachFolderOption = static_cast<SubfolderRule>(*folderRule);
  } else {
    s.AttachFolderOption.reset();
  }
  if (const auto nameRule = ApplyFlagsText(read("AttachFilenameOption"), kFileNameRuleCount, std::nullopt)) {
    s.AttachFilenameOption = static_cast<FileNameRule>(*nameRule);
  }
  s.FilnamePrefix = read("FilnamePrefix");
  s.AttachNoOverwrite = readBool("AttachNoOverwrite");
  s.SelectExtensions = readBool("SelectExtensions");
  s.AttachExportEmbedded = readBool("AttachExportEmbedded");
  // A stored folder of blanks only counts as none: the box would be empty.
  s.AttachFolder = NormalizeFolderText(read("AttachFolder"), true);
  if (s.AttachFolder.empty()) s.AttachFolder = NormalizeFolderText(personalFolder(), true);
  s.ExtensionList = read("ExtensionList");
  return s;
}

bool SaveSettings(Registry& registry, const ExportSettings& settings) {
  bool ok = true;
  const auto write = [&](std::string_view name, std::string_view value) {
    ok = registry.WriteRegString(kRoot, kSettingsKey, name, value) && ok;
  };
  const auto writeBool = [&](std::string_view name, bool value) {
    ok = registry.WriteRegBool(kRoot, kSettingsKey, name, value) && ok;
  };
  const auto position = [](const auto& rule) {
    return rule ? std::optional<int>(static_cast<int>(*rule)) : std::nullopt;
  };
  write("AttachFolderOption", FlagsText(position(settings.AttachFolderOption), kSubfolderRuleCount));
  writeBool("AttachExportEmbedded", settings.AttachExportEmbedded);
  write("AttachFolder", settings.AttachFolder);
  writeBool("SelectExtensions", settings.SelectExtensions);
  write("AttachFilenameOption", FlagsText(position(settings.AttachFilenameOption), kFileNameRuleCount));
  write("FilnamePrefix", settings.FilnamePrefix);
  writeBool("AttachNoOverwrite", settings.AttachNoOverwrite);
  write("ExtensionList", settings.ExtensionList);
  return ok;
}

}  // namespace trovex::wizard
