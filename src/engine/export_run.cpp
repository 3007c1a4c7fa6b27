#include "engine/export_run.h"

#include <fmt/format.h>

#include "engine/attachment_export.h"
#include "engine/mail_collection.h"

namespace trovex::engine {

ExportRun::ExportRun(ExportFrontEnd& ui, outlook::Explorer& explorer, FileSystem& fs, ExportReport::ClockFn now)
    : ui_(ui), explorer_(explorer), fs_(fs), now_(now), report_(ui, std::move(now)) {}

void ExportRun::ExportClick() {
  if (state_.bExportStarted) {
    RequestStop();
    return;
  }
  // The run's last lines and its summary still let messages in after the
  // button is enabled again; a click there would nest a whole run inside
  // the one that is ending, and the outer summary would count the inner
  // run's files. It starts nothing: the run has not returned yet.
  if (running_) return;
  running_ = true;
  try {
    Run();
  } catch (...) {
    // The report keeps its lines; the button and flags return to idle so
    // that the next click starts a clean run.
    running_ = false;
    EndRun();
    throw;
  }
  running_ = false;
}

void ExportRun::RequestStop() {
  if (state_.bClickedCancel || !ui_.ConfirmStop()) return;
  state_.bClickedCancel = true;
  ui_.SetExportButton("Stopp", false);
  report_.WriteReportLine("Abgebrochen...", true);
}

void ExportRun::EndRun() {
  state_.bExportStarted = false;
  state_.bClickedCancel = false;
  ui_.SetExportButton("Export starten", true);
}

void ExportRun::Run() {
  ui_.SetExportButton("Stopp", true);
  state_.bExportStarted = true;
  ui_.SaveSettings();

  const std::string stars(36, '*');
  report_.WriteReportLine(stars, false);
  report_.WriteReportLine("Trovex vom " + FormatGermanDate(report_.Now()), false);
  report_.WriteReportLine(stars, false);

  state_.strRootFolder = ui_.CurrentChoices().AttachFolder;
  if (!state_.strRootFolder.ends_with('\\')) state_.strRootFolder += '\\';

  arrExtensions_ = ui_.BuildChosenExtensions();
  arrExtensionsAsString_ = engine::ExtensionText(arrExtensions_);

  ui_.SetProgressPosition(0);
  state_.iCountToCheck = explorer_.CurrentFolder()->GetItems()->Count();

  // The counter's memory of names handed out lasts this run only: between
  // runs the user may delete files.
  TargetNaming naming(fs_, now_);
  AttachmentExporter exporter(state_, report_, ui_, fs_, naming, [this] { return ui_.CurrentChoices(); },
                              arrExtensions_);
  MailCollection collection(state_, report_, ui_, exporter);
  if (ui_.CurrentChoices().IncludeSubfolders) collection.CountItems(*explorer_.CurrentFolder()->GetFolders());

  ui_.SetProgressMax(state_.iCountToCheck);
  report_.WriteReportLine(fmt::format("{} zu überprüfende Mails...", state_.iCountToCheck), false);
  {
    const auto folder = explorer_.CurrentFolder();
    report_.WriteReportLine(fmt::format("{} ({}) ", folder->Name(), folder->GetItems()->Count()), true);
  }

  state_.iCountChecked = 0;
  state_.iCountExported = 0;
  collection.ProcessItems(*explorer_.CurrentFolder()->GetItems());
  if (!state_.bClickedCancel && ui_.CurrentChoices().IncludeSubfolders)
    collection.WalkSubfolders(*explorer_.CurrentFolder()->GetFolders());

  const std::int32_t exported = state_.iCountExported;
  EndRun();
  report_.WriteReportLine("Fertig!", true);
  ui_.ShowSummary(fmt::format("Der Export ist beendet.\n\nEs wurden insgesamt {} Dateien exportiert.", exported));
}

}  // namespace trovex::engine
