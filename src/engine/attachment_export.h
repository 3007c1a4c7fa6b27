// Writes the attachments of one mail: the extension and embedded filters,
// the target folder and name, folder creation, the file and its time.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/export_report.h"
#include "engine/export_settings.h"
#include "engine/mail_collection.h"
#include "engine/run_state.h"
#include "engine/target_naming.h"
#include "support/file_system.h"

namespace trovex::engine {

// True when the attachment is shown inside the mail body (it has a content
// id, or the flag that hides it from the HTML view) or is an OLE object.
// A property the attachment does not carry counts as not matching.
bool IsEmbeddedAttachment(outlook::Attachment& attachment);

class AttachmentExporter final : public AttachmentExport {
 public:
  // `choices` gives the wizard's choices as they stand; they are read anew
  // for every attachment. `chosenExtensions` are upper case with their dot.
  AttachmentExporter(ExportRunState& state, ExportReport& report, ExportSink& sink, FileSystem& fs,
                     TargetNaming& naming, std::function<ExportSettings()> choices,
                     const std::vector<std::string>& chosenExtensions)
      : state_(state), report_(report), sink_(sink), fs_(fs), naming_(naming), choices_(std::move(choices)),
        chosenExtensions_(chosenExtensions) {}

  void ExportAttachments(outlook::MailItem& mail, TMailData& record) override;

 private:
  bool ExtensionChosen(std::string_view ownName) const;
  void Save(outlook::Attachment& attachment, const std::string& folder, const std::string& name,
            outlook::OleDate receivedTime);

  ExportRunState& state_;
  ExportReport& report_;
  ExportSink& sink_;
  FileSystem& fs_;
  TargetNaming& naming_;
  std::function<ExportSettings()> choices_;
  const std::vector<std::string>& chosenExtensions_;
};

}  // namespace trovex::engine
