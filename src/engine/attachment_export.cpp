#include "engine/attachment_export.h"

#include <fmt/format.h>

#include <stdexcept>
#include <variant>

#include "support/utf8.h"

namespace trovex::engine {
namespace {

using outlook::OutlookError;
using outlook::PropertyValue;

std::optional<PropertyValue> TryGetProperty(outlook::PropertyAccessor& accessor, std::uint32_t tag) {
  try {
    return accessor.GetProperty(outlook::PropTagSchemaName(tag));
  } catch (const OutlookError&) {
    return std::nullopt;  // Outlook raises for a property the attachment does not carry
  }
}

bool IsNonEmptyText(const std::optional<PropertyValue>& v) {
  return v && std::holds_alternative<std::string>(*v) && !std::get<std::string>(*v).empty();
}

bool IsLong(const std::optional<PropertyValue>& v, std::int32_t expected) {
  return v && std::holds_alternative<std::int32_t>(*v) && std::get<std::int32_t>(*v) == expected;
}

std::string TrimBlanksAndControls(std::string_view s) {
  size_t begin = 0, end = s.size();
  while (begin < end && static_cast<unsigned char>(s[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(s[end - 1]) <= 32) --end;
  return std::string(s.substr(begin, end - begin));
}

}  // namespace

bool IsEmbeddedAttachment(outlook::Attachment& attachment) {
  const auto accessor = attachment.GetPropertyAccessor();
  // A content id is what a cid: reference in the HTML body points at.
  if (IsNonEmptyText(TryGetProperty(*accessor, outlook::PR_ATTACH_CONTENT_ID_A))) return true;
  if (IsNonEmptyText(TryGetProperty(*accessor, outlook::PR_ATTACH_CONTENT_ID_W))) return true;
  if (IsLong(TryGetProperty(*accessor, outlook::PR_ATTACH_FLAGS), 1)) return true;  // hidden from HTML view
  return IsLong(TryGetProperty(*accessor, outlook::PR_ATTACH_METHOD), outlook::ATTACH_OLE);
}

bool AttachmentExporter::ExtensionChosen(std::string_view ownName) const {
  const std::string_view ext = ExtensionOf(ownName);
  for (const auto& chosen : chosenExtensions_)
    if (EqualsIgnoreCase(ext, chosen)) return true;
  return false;
}

void AttachmentExporter::ExportAttachments(outlook::MailItem&, TMailData& record) {
  const int count = record.Attachments->Count();
  for (int j = 1; j <= count; ++j) {
    const auto attachment = record.Attachments->Item(j);
    const std::string ownName = attachment->FileName();
    const ExportSettings choices = choices_();

    if (choices.SelectExtensions && !ExtensionChosen(ownName)) continue;
    if (!choices.AttachExportEmbedded && IsEmbeddedAttachment(*attachment)) continue;

    std::string target;
    if (choices.AttachFolderOption == SubfolderRule::Extension) {
      // The extension is the attachment's own text: it must not climb or
      // name a device either.
      target = state_.strRootFolder + SanitizeName(ToUpperUtf8(ExtensionOf(ownName)), false, naming_.Limit());
    } else {
      target = TrimBlanksAndControls(state_.strRootFolder) + naming_.SubfolderName(record, choices);
    }

    report_.WriteReportLine("wird gespeichert unter:", true);
    std::string folder = TrimBlanksAndControls(target);
    if (!folder.ends_with('\\')) folder += '\\';
    const std::string name = naming_.TargetFileName(record, folder, ownName, choices);
    report_.WriteReportLine(sink_.DisplayPath(folder + name), false);
    sink_.ShowTarget("Speicherort: " + sink_.DisplayPath(folder), "Dateiname: " + name);

    if (!fs_.DirectoryExists(folder)) {
      CreateSubDirs(fs_, folder);
      if (!fs_.DirectoryExists(folder)) {
        report_.WriteReportLine("Ordner konnte nicht erstellt werden: " + sink_.DisplayPath(folder), true);
        continue;
      }
    }
    Save(*attachment, folder, name, record.ReceivedTime);
    ++state_.iCountExported;
  }
}

void AttachmentExporter::Save(outlook::Attachment& attachment, const std::string& folder, const std::string& name,
                              outlook::OleDate receivedTime) {
  // Under its own name the file appears whole and with its time, or not at
  // all; a file it replaces stays as it was until then.
  const std::string temporary = fs_.TemporaryFileName(folder);
  try {
    attachment.SaveAsFile(temporary);
    fs_.SetLastWriteTime(temporary, receivedTime);
    try {
      fs_.ReplaceFile(temporary, folder + name);
    } catch (const std::exception& e) {
      // As a save into that place would have failed.
      throw std::runtime_error(fmt::format("Die Anlage kann nicht gespeichert werden. {}", e.what()));
    }
  } catch (...) {
    fs_.RemoveFile(temporary);
    throw;
  }
}

}  // namespace trovex::engine
