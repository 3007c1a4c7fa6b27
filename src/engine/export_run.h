// A whole export: what "Export starten" does, and the stop request that a
// second click on the same button (then captioned "Stopp") makes while the
// run lets window messages be handled.
#pragma once

#include <string>
#include <vector>

#include "engine/export_report.h"
#include "engine/export_settings.h"
#include "engine/export_sink.h"
#include "engine/run_state.h"
#include "engine/target_naming.h"
#include "outlook/object_model.h"
#include "support/file_system.h"

namespace trovex::engine {

// The front end that drives a run: the wizard's last page, or the CLI.
class ExportFrontEnd : public ExportSink {
 public:
  // The choices as the front end shows them now; read whenever a step
  // needs them, so a change during the run takes effect at the next
  // attachment. AttachFolder is the folder box's text as it stands.
  virtual ExportSettings CurrentChoices() = 0;
  // Stores the choices (the run's first step).
  virtual void SaveSettings() = 0;
  // The chosen extensions, upper case with their dot, in the front end's
  // list order; empty unless only chosen extensions are exported.
  virtual std::vector<std::string> BuildChosenExtensions() = 0;
  virtual void SetExportButton(const std::string& caption, bool enabled) = 0;
  // "Möchten Sie den Export wirklich abbrechen?" -- true for Yes.
  virtual bool ConfirmStop() = 0;
  // The closing message of a run that was not ended by an error.
  virtual void ShowSummary(const std::string& text) = 0;
};

class ExportRun {
 public:
  ExportRun(ExportFrontEnd& ui, outlook::Explorer& explorer, FileSystem& fs, ExportReport::ClockFn now = LocalNow);

  // The export button: starts a run and returns when it is over, or, while
  // a run is under way, asks whether to stop it. A click after the run has
  // re-enabled the button but before it has returned (while "Fertig!" and
  // the summary are shown) does nothing. An error that ends a run
  // propagates after the lines written so far; the run object is idle
  // again, ready for the next run.
  void ExportClick();

  const ExportRunState& State() const { return state_; }
  // The chosen extensions of the latest run and their stored form.
  const std::vector<std::string>& ChosenExtensions() const { return arrExtensions_; }
  const std::string& ExtensionText() const { return arrExtensionsAsString_; }

 private:
  void Run();
  void RequestStop();
  void EndRun();

  ExportFrontEnd& ui_;
  outlook::Explorer& explorer_;
  FileSystem& fs_;
  ExportReport::ClockFn now_;
  ExportReport report_;
  ExportRunState state_;
  // From the click that starts a run until it returns; outlasts
  // bExportStarted, which the run clears before its last line.
  bool running_ = false;
  std::vector<std::string> arrExtensions_;
  std::string arrExtensionsAsString_;
};

}  // namespace trovex::engine
