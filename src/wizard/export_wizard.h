// The export wizard without a window toolkit: the state of every control
// and everything the five pages do. The Win32 dialog (win32/) shows this
// state and forwards the user's actions here; tests drive it directly.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/export_run.h"
#include "engine/export_settings.h"
#include "outlook/object_model.h"
#include "support/file_system.h"
#include "support/message_box.h"
#include "support/registry.h"
#include "wizard/extension_page.h"

namespace trovex::wizard {

inline constexpr int kPageCount = 5;

// What the wizard needs from the window and the system around it.
class WizardHost {
 public:
  virtual ~WizardHost() = default;

  // Something in the wizard's state changed: copy it to the controls.
  virtual void StateChanged() = 0;
  // One line more at the end of the report.
  virtual void ReportLineAppended(const std::string& line) = 0;
  // Ends the modal dialog; called once, when the wizard has saved.
  virtual void CloseWindow() = 0;
  // Lets pending window messages be handled (a click on "Stopp" arrives
  // here as a nested call).
  virtual void ProcessPendingMessages() = 0;

  // A modal message box; returns a kResult* code.
  virtual int ShowMessageBox(const std::string& text, const std::string& caption, MessageKind kind,
                             MessageButtons buttons) = 0;
  // A plain message: no icon, an OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  // The shell's folder dialog starting at `startFolder` (when that exists).
  // Returns the folder chosen; on cancel the start folder when it exists,
  // otherwise empty.
  virtual std::string BrowseForFolder(const std::string& title, const std::string& startFolder) = 0;
  // Hands a web address to the shell ("open").
  virtual void OpenUrl(const std::string& url) = 0;

  virtual std::string FileTypeName(std::string_view extension) = 0;
  // The user's locale-aware order of texts: negative, zero or positive.
  virtual int CompareText(const std::string& a, const std::string& b) = 0;
  // The user's documents folder, the export folder of a first opening.
  virtual std::string PersonalFolder() = 0;
  // 1 to 9, the counter shown in the name preview.
  virtual int RandomDigit() = 0;
};

// Everything the controls show. Captions not listed here are fixed
// (wizard_texts.h).
struct WizardState {
  int page = 1;  // 1 to 5

  // Button bar.
  bool backEnabled = false;
  bool forwardEnabled = true;
  bool exportEnabled = false;
  std::string exportCaption = "Export starten";

  // Page 1: the folder-scope captions with the folder's name.
  std::string onlyFolderCaption;
  std::string withSubfoldersCaption;
  bool includeSubfolders = false;
  std::string folderText;

  // Page 2.
  bool selectExtensions = false;
  bool extensionListEnabled = false;
  std::vector<ExtensionEntry> extensions;  // in list order
  bool exportEmbedded = false;

  // Page 3; no option at all is possible after loading a text of zeros.
  std::optional<engine::SubfolderRule> subfolderRule = engine::SubfolderRule::None;

  // Page 4.
  std::optional<engine::FileNameRule> fileNameRule;
  std::string pattern;
  bool patternEnabled = false;
  bool fieldButtonEnabled = false;
  bool presetButtonEnabled = false;
  bool fieldMenuOpen = false;
  bool presetMenuOpen = false;
  bool noOverwrite = true;
  std::string preview;

  // Page 5.
  std::string targetFolderLine = "Speicherort:";
  std::string targetFileLine = "Dateiname:";
  int progressMax = 0;
  int progressPosition = 0;
};

struct WizardServices {
  Registry& registry;  // the settings, below HKEY_CURRENT_USER
  FileSystem& fileSystem;
  std::string helpUrl;
  engine::ExportReport::ClockFn clock = LocalNow;
};

class ExportWizard final : private engine::ExportFrontEnd {
 public:
  ExportWizard(WizardHost& host, WizardServices services);
  ~ExportWizard() override;
  ExportWizard(const ExportWizard&) = delete;
  ExportWizard& operator=(const ExportWizard&) = delete;

  // Outlook's window the wizard was started from; its current folder is
  // the one exported. May be null.
  void SetExplorer(std::unique_ptr<outlook::Explorer> explorer);

  // Prepares the dialog for being shown: page 1, idle, the stored settings,
  // the folder's name in page 1's captions. False, after telling the user,
  // when Outlook names no current folder; the dialog is then not shown.
  bool Show();

  const WizardState& State() const { return state_; }
  const std::vector<std::string>& ReportLines() const { return report_; }
  bool ExportStarted() const;
  bool ClickedCancel() const;

  // Button bar.
  void ForwardClick();
  void BackClick();
  void HelpClick();
  void ExportClick();
  // "Schließen", Esc and the close box. During a run the dialog closes
  // once the run and its summary are over.
  void CloseClick();

  // Page 1.
  void SetIncludeSubfolders(bool include);
  void SetFolderText(std::string text);
  void ChangeFolderClick();

  // Page 2.
  void SetSelectExtensions(bool select);
  void SetExtensionChecked(std::size_t index, bool checked);
  void SetExportEmbedded(bool embedded);

  // Page 3.
  void SetSubfolderRule(std::optional<engine::SubfolderRule> rule);

  // Page 4.
  void SetFileNameRule(engine::FileNameRule rule);
  // The focus left the option of `rule`.
  void FileNameOptionFocusLost(engine::FileNameRule rule);
  // Typed text; cut to kMaxPatternLength characters.
  void SetPatternText(std::string text);
  void SetNoOverwrite(bool noOverwrite);
  // A click on a drop-down button, its main part or (`arrow`) its arrow:
  // true when the window is to open the menu now, which it then closes
  // through FieldMenuClosed or PresetMenuClosed.
  bool FieldButtonClick(bool arrow);
  bool PresetButtonClick(bool arrow);
  // `entry` indexes kFieldMenu / kPresetMenu; nullopt when the menu was
  // dismissed. FieldMenuClosed returns the caret position after the token
  // (characters), or -1 when nothing was inserted.
  int FieldMenuClosed(std::optional<int> entry, int selectionStart);
  void PresetMenuClosed(std::optional<int> entry);

  // The choices as the controls show them.
  engine::ExportSettings CurrentChoices() override;

 private:
  // The run's front end.
  void SaveSettings() override;
  std::vector<std::string> BuildChosenExtensions() override;
  void SetExportButton(const std::string& caption, bool enabled) override;
  bool ConfirmStop() override;
  void ShowSummary(const std::string& text) override;
  void AppendReportLine(const std::string& line) override;
  void SetProgressMax(int maximum) override;
  void SetProgressPosition(int position) override;
  void ShowTarget(const std::string& folderLabel, const std::string& fileLabel) override;
  void ProcessPendingMessages() override;

  void ShowPage(int page);
  void ApplySettings(const engine::ExportSettings& settings);
  void UpdatePatternEnabling();
  void RefreshPatternPreview();
  void FillExtensionPage();
  void Close();
  void Changed() { host_.StateChanged(); }

  WizardHost& host_;
  WizardServices services_;
  std::unique_ptr<outlook::Explorer> explorer_;
  std::unique_ptr<engine::ExportRun> run_;
  WizardState state_;
  std::vector<std::string> report_;
  // The stored form of the chosen extensions that closing saves: the
  // loaded one until a run assembles its own.
  std::string extensionText_;
  // The export button's state as the run set it; shown on page 5 only.
  bool runButtonEnabled_ = true;
  // From the click that starts a run until that click returns.
  bool inRun_ = false;
  bool closeRequested_ = false;
  bool closed_ = false;
};

}  // namespace trovex::wizard
