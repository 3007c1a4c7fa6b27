#include "engine/mail_collection.h"

#include "support/date_time.h"

namespace trovex::engine {

std::optional<TMailData> ReadMailData(outlook::MailItem& mail) {
  TMailData record;
  try {
    record.SenderName = mail.SenderName();
  } catch (const outlook::OutlookError&) {
    // Outlook cannot resolve some senders (deleted Exchange entries, damaged
    // items); such a mail is skipped rather than ending the run.
    return std::nullopt;
  }
  record.SenderMail = mail.SenderEmailAddress();
  record.ReceiverName = mail.ReceivedByName();
  if (record.ReceiverName.empty()) record.ReceiverName = mail.ReceivedOnBehalfOfName();
  record.Subject = mail.Subject();
  record.ReceivedTime = mail.ReceivedTime();
  record.Attachments = mail.GetAttachments();
  return record;
}

void MailCollection::CountItems(outlook::Folders& folders) {
  const int count = folders.Count();
  for (int i = 1; i <= count; ++i) {
    const auto folder = folders.GetItem(i);
    state_.iCountToCheck += folder->GetItems()->Count();
    const auto subfolders = folder->GetFolders();
    if (subfolders->Count() > 0) CountItems(*subfolders);
  }
}

void MailCollection::WalkSubfolders(outlook::Folders& folders) {
  const int count = folders.Count();
  for (int i = 1; i <= count; ++i) {
    const auto folder = folders.GetItem(i);
    report_.WriteReportLine("", false);
    report_.WriteReportLine("Unterordner: " + folder->Name(), false);
    if (const auto subfolders = folder->GetFolders(); subfolders->Count() > 0) WalkSubfolders(*subfolders);
    ProcessItems(*folder->GetItems());
    if (state_.bClickedCancel) return;
  }
}

void MailCollection::ProcessItems(outlook::Items& items) {
  const int count = items.Count();
  for (int i = 1; i <= count; ++i) {
    if (state_.bClickedCancel) return;
    ++state_.iCountChecked;
    sink_.SetProgressPosition(state_.iCountChecked);
    sink_.ProcessPendingMessages();

    const auto mail = items.GetItem(i)->QueryMailItem();
    if (!mail) continue;

    report_.WriteReportLine("Mail \"" + mail->Subject() + "\" vom " +
                                FormatIsoDate(OleDateToCivil(mail->ReceivedTime())),
                            true);
    if (mail->GetAttachments()->Count() == 0) {
      report_.WriteReportLine("hat keinen Anhang.", true);
      continue;
    }
    auto record = ReadMailData(*mail);
    if (!record) continue;
    exporter_.ExportAttachments(*mail, *record);
    report_.WriteReportLine("", false);
  }
}

std::optional<TMailData> PreviewMailData(outlook::Items& items) {
  const auto mail = items.GetItem(items.Count())->QueryMailItem();
  if (!mail) return std::nullopt;
  return ReadMailData(*mail);
}

}  // namespace trovex::engine
