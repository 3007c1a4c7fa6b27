// Where an attachment is written: the subfolder below the export folder and
// the file name, by the rules chosen in the wizard.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "engine/export_settings.h"
#include "engine/mail_data.h"
#include "support/date_time.h"
#include "support/file_system.h"
#include "support/name_limit.h"

namespace trovex::engine {

// Longest file name written, in characters (code points), extension included.
inline constexpr std::size_t kMaxFileNameLength = 180;

// Placeholders of the user's name pattern, in the order they are replaced.
inline constexpr std::string_view PlaceholderTokens[] = {
    "[SenderName]", "[SenderMail]", "[ReceiverName]", "[ReceiverMail]",
    "[Subject]",    "[ReceivedTime]", "[ActualDate(yyyy-mm)]",
};

// Makes a text usable as a folder name (forFolder: a backslash is kept and
// makes nested folders) or as a file name. Characters Windows refuses become
// "_", trailing dots and surrounding blanks go, and so do path segments
// that would climb ("..") or name a device (CON, LPT1, ...); a file name is
// cut to kMaxFileNameLength characters. Every segment is then cut to fit
// `limit` (a file name keeping its extension where it can), since a name
// the file system refuses would end the whole run.
std::string SanitizeName(std::string_view text, bool forFolder, NameLimit limit = TargetNameLimit());

// The extension of a file name: from its last "." to its end, dot included;
// empty without a dot.
std::string_view ExtensionOf(std::string_view fileName);

class TargetNaming {
 public:
  // One object serves one run: the counter's memory (see UniqueFileName)
  // is only true while no one else changes the folders.
  explicit TargetNaming(FileSystem& fs, std::function<CivilTime()> now = LocalNow,
                        NameLimit limit = TargetNameLimit())
      : fs_(fs), now_(std::move(now)), limit_(limit) {}

  NameLimit Limit() const { return limit_; }

  // The subfolder text by the subfolder rule, possibly empty.
  std::string SubfolderName(const TMailData& mail, const ExportSettings& choices) const;

  // The file name by the file-name rule; `folder` (ending in a backslash)
  // is only needed for the counter.
  std::string TargetFileName(const TMailData& mail, const std::string& folder, std::string_view ownName,
                             const ExportSettings& choices);

  // The first name of the form "name", "name_1", "name_2"... (counter
  // before the extension) that no file in `folder` has; the name before
  // the counter is shortened where the counter would push it over the
  // limit. Numbers this object handed out for the same folder and name are
  // not tried again, so a run writing many equally named files stays
  // linear.
  std::string UniqueFileName(const std::string& folder, const std::string& name);

  // The example target shown in the wizard, e.g. "\Angebot_beispiel.pdf";
  // `randomDigit` (1 to 9) stands for the counter.
  std::string PreviewName(const TMailData& mail, const ExportSettings& choices, int randomDigit) const;

 private:
  std::string FileNameFor(const TMailData& mail, std::string_view ownName,
                          const ExportSettings& choices) const;

  FileSystem& fs_;
  std::function<CivilTime()> now_;
  NameLimit limit_;
  // Last counter handed out per folder + name.
  std::map<std::string, int> lastCounter_;
};

}  // namespace trovex::engine
