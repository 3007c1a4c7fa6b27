// The export wizard's choices, as one record, and their stored form below
// HKEY_CURRENT_USER\Software\Quellmark Software\MSO_Attachments. Free of any
// dialog: the wizard and the CLI both load and save through it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/registry.h"

namespace trovex::wizard {

// Which further subfolder below the export folder receives a file.
enum class SubfolderRule : int {
  None = 0,           // "keinen weiteren Unterordner"
  Subject = 1,        // the mail's subject
  SenderName = 2,     // the sender's name
  SenderMail = 3,     // the sender's address
  ReceivedMonth = 4,  // received year and month, "2024-03"
  Extension = 5,      // one folder per upper-case extension, ".PDF"
};
inline constexpr int kSubfolderRuleCount = 6;

// How an exported file is named.
enum class FileNameRule : int {
  OwnName = 0,     // the attachment's own name
  Subject = 1,     // subject + "_" + own name
  SenderName = 2,  // sender's name + "_" + own name
  Pattern = 3,     // the user's pattern + "_" + own name
  SenderMail = 4,  // sender's address + "_" + own name
};
inline constexpr int kFileNameRuleCount = 5;

struct ExportSettings {
  // The disk folder that receives the attachments, as the folder box shows it.
  std::string AttachFolder;
  // Either option group may have no choice at all (a stored text of zeros).
  std::optional<SubfolderRule> AttachFolderOption = SubfolderRule::None;
  std::optional<FileNameRule> AttachFilenameOption;
  // The user's own name pattern with placeholders such as "[Subject]".
  std::string FilnamePrefix;
  bool AttachNoOverwrite = false;
  bool SelectExtensions = false;
  // ".DOCX;.PDF;": each chosen extension upper case, followed by ";".
  std::string ExtensionList;
  bool AttachExportEmbedded = false;
  // Never stored: every opening starts with the selected folder only.
  bool IncludeSubfolders = false;
};

// Below RegistryRoot::CurrentUser.
inline constexpr std::string_view kSettingsKey = "Software\\Quellmark Software\\MSO_Attachments";

// An option group's stored form: one digit per position, "1" at the chosen
// one ("000010"); all zeros when there is no choice or it is out of range.
std::string FlagsText(std::optional<int> chosen, int positions);

// Applies a stored flags text to an option group whose choice is `initial`,
// position by position as the dialog sets its radio buttons: a digit other
// than '0' checks the position (clearing the others), anything else unchecks
// just that position; missing positions count as '0'. An empty text leaves
// `initial`.
std::optional<int> ApplyFlagsText(std::string_view text, int positions, std::optional<int> initial);

// ".DOC;.XLSX;" from the chosen extensions, each upper case with its dot.
std::string ExtensionText(const std::vector<std::string>& chosen);
// The extensions of such a text; blanks around and empty pieces are skipped.
std::vector<std::string> ParseExtensionText(std::string_view text);

// Reads the stored choices; missing values give the first-opening defaults,
// with the export folder in `personalFolder()` (asked only when needed).
// Throws RegistryError when the store cannot be read or a Boolean is stored
// as text.
ExportSettings LoadSettings(Registry& registry, const std::function<std::string()>& personalFolder);

// Stores the choices (IncludeSubfolders excepted); false when any value
// could not be written. All values are attempted either way.
bool SaveSettings(Registry& registry, const ExportSettings& settings);

}  // namespace trovex::wizard
