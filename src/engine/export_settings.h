// The choices an export runs with, as one record. The wizard shows and
// stores them (wizard/export_settings.h holds their registry form); the
// engine only reads them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trovex::engine {

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

// ".DOC;.XLSX;" from the chosen extensions, each upper case with its dot.
std::string ExtensionText(const std::vector<std::string>& chosen);
// The extensions of such a text; blanks around and empty pieces are skipped.
std::vector<std::string> ParseExtensionText(std::string_view text);

}  // namespace trovex::engine
