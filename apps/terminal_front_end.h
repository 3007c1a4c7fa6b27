// The terminal as the wizard's last page: report lines to one stream, a
// progress bar on another when that is a terminal, Ctrl-C as "Stopp".
#pragma once

#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "engine/export_run.h"
#include "engine/export_settings.h"
#include "support/posix/file_registry.h"

namespace trovex::cli {

// Text from mails as a terminal may show it: C0 controls and DEL as
// "\x1b", C1 controls (U+0080 to U+009F) as "\u009b", and bytes that are
// no UTF-8 as "\xff", so no mail can retitle the terminal or move its
// cursor. Everything else, backslashes included, stays as it is.
std::string TerminalText(std::string_view text);

class TerminalFrontEnd final : public engine::ExportFrontEnd {
 public:
  // `interrupted` is set from outside (the SIGINT handler) when the user
  // asks to stop.
  TerminalFrontEnd(engine::ExportSettings choices, FileRegistry& registry,
                   const volatile std::sig_atomic_t& interrupted, std::FILE* out = stdout, std::FILE* err = stderr);
  ~TerminalFrontEnd() override;

  void Attach(engine::ExportRun& run) { run_ = &run; }
  // True when Ctrl-C stopped a run that was under way.
  bool StopRequested() const { return stopRequested_; }

  // The choices with the run's extension text, as the wizard stores them on
  // closing.
  void SaveFinalSettings();

  engine::ExportSettings CurrentChoices() override { return choices_; }
  void SaveSettings() override;
  std::vector<std::string> BuildChosenExtensions() override;
  void SetExportButton(const std::string&, bool) override {}
  bool ConfirmStop() override { return true; }  // Ctrl-C was the confirmation
  void ShowSummary(const std::string& text) override;

  void AppendReportLine(const std::string& line) override;
  void SetProgressMax(int maximum) override { max_ = maximum; }
  void SetProgressPosition(int position) override;
  void ShowTarget(const std::string&, const std::string&) override {}
  void ProcessPendingMessages() override;
  // Paths as the shell takes them.
  std::string DisplayPath(const std::string& path) override;

 private:
  void DrawBar();
  void ClearBar();

  engine::ExportSettings choices_;
  FileRegistry& registry_;
  const volatile std::sig_atomic_t& interrupted_;
  std::FILE* out_;
  std::FILE* err_;
  engine::ExportRun* run_ = nullptr;
  bool showProgress_;
  bool barShown_ = false;
  bool stopRequested_ = false;
  bool warnedAboutSettings_ = false;
  int max_ = 0;
  int position_ = 0;
};

}  // namespace trovex::cli
