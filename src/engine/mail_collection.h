// Finds the mails an export run examines: counts the items beforehand,
// walks the folder tree and hands every e-mail with attachments to the
// attachment export.
#pragma once

#include <optional>

#include "engine/export_report.h"
#include "engine/export_sink.h"
#include "engine/mail_data.h"
#include "engine/run_state.h"
#include "outlook/object_model.h"

namespace trovex::engine {

// Exports the attachments of one mail; the walk calls it once per mail that
// has attachments.
class AttachmentExport {
 public:
  virtual ~AttachmentExport() = default;
  virtual void ExportAttachments(outlook::MailItem& mail, TMailData& record) = 0;
};

class MailCollection {
 public:
  MailCollection(ExportRunState& state, ExportReport& report, ExportSink& sink, AttachmentExport& exporter)
      : state_(state), report_(report), sink_(sink), exporter_(exporter) {}

  // Adds the item counts of `folders` and of every folder below them to
  // iCountToCheck.
  void CountItems(outlook::Folders& folders);

  // Processes `folders` and every folder below them, each with its header;
  // a folder's own mails follow those of the folders below it. Returns
  // after the subfolder under way once a stop is confirmed.
  void WalkSubfolders(outlook::Folders& folders);

  // Examines the items of one collection (run mode).
  void ProcessItems(outlook::Items& items);

 private:
  ExportRunState& state_;
  ExportReport& report_;
  ExportSink& sink_;
  AttachmentExport& exporter_;
};

// The example mail of the name preview: the record of the collection's last
// item when that is a mail whose record can be read, else nullopt. No stop
// test, progress or report line. `items` must not be empty.
std::optional<TMailData> PreviewMailData(outlook::Items& items);

}  // namespace trovex::engine
