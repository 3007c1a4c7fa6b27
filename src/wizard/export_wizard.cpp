#include "wizard/export_wizard.h"

#include <exception>

#include "engine/mail_collection.h"
#include "engine/target_naming.h"
#include "support/text_utils.h"
#include "support/utf8.h"
#include "wizard/export_settings.h"
#include "wizard/pattern_editor.h"
#include "wizard/wizard_texts.h"

namespace trovex::wizard {
namespace {

using engine::FileNameRule;

constexpr std::string_view kStopQuestion = "Möchten Sie den Export wirklich abbrechen?";
constexpr std::string_view kStopCaption = "Outlook AddIn zum Export von E-Mail-Anhängen";

std::string WithFolderName(std::string_view caption, std::string_view folderName) {
  std::string text(caption);
  if (const auto at = text.find("%s"); at != std::string::npos) text.replace(at, 2, folderName);
  return text;
}

}  // namespace

ExportWizard::ExportWizard(WizardHost& host, WizardServices services)
    : host_(host), services_(std::move(services)) {}

ExportWizard::~ExportWizard() = default;

void ExportWizard::SetExplorer(std::unique_ptr<outlook::Explorer> explorer) {
  run_.reset();
  explorer_ = std::move(explorer);
  engine::ExportFrontEnd& frontEnd = *this;
  if (explorer_) run_ = std::make_unique<engine::ExportRun>(frontEnd, *explorer_, services_.fileSystem, services_.clock);
}

bool ExportWizard::ExportStarted() const { return run_ && run_->State().bExportStarted; }
bool ExportWizard::ClickedCancel() const { return run_ && run_->State().bClickedCancel; }

bool ExportWizard::Show() {
  // Without a folder there is nothing to name on page 1 and nothing to
  // export; the user learns why instead of meeting an empty wizard.
  std::string folderName;
  bool haveFolder = false;
  if (explorer_) {
    try {
      if (const auto folder = explorer_->CurrentFolder()) {
        folderName = folder->Name();
        haveFolder = true;
      }
    } catch (const outlook::OutlookError&) {
    }
  }
  if (!haveFolder) {
    host_.ShowMessageBox(std::string(texts::kNoFolderSelected), std::string(texts::kWindowCaption),
                         MessageKind::Information, {MessageButton::OK});
    return false;
  }

  closeRequested_ = false;
  closed_ = false;
  runButtonEnabled_ = true;
  state_.exportCaption = texts::kExportStart;
  ShowPage(1);
  ApplySettings(wizard::LoadSettings(services_.registry, [this] { return host_.PersonalFolder(); }));
  state_.onlyFolderCaption = WithFolderName(texts::kOnlySelectedFolder, folderName);
  state_.withSubfoldersCaption = WithFolderName(texts::kWithSubfolders, folderName);
  state_.includeSubfolders = false;
  Changed();
  return true;
}

void ExportWizard::ApplySettings(const engine::ExportSettings& s) {
  state_.subfolderRule = s.AttachFolderOption;
  state_.fileNameRule = s.AttachFilenameOption;
  UpdatePatternEnabling();
  state_.pattern = s.FilnamePrefix;
  state_.noOverwrite = s.AttachNoOverwrite;
  // A stored false leaves "alle Anhänge" as the dialog has it.
  if (s.SelectExtensions) state_.selectExtensions = true;
  state_.extensionListEnabled = state_.selectExtensions;
  state_.exportEmbedded = s.AttachExportEmbedded;
  state_.folderText = s.AttachFolder;
  // Closing without a run stores this again, so the user's extensions
  // survive an opening that exported nothing.
  extensionText_ = s.ExtensionList;
  RefreshPatternPreview();
}

void ExportWizard::ShowPage(int page) {
  state_.page = page;
  state_.backEnabled = page > 1;
  state_.forwardEnabled = page < kPageCount;
  // A stop the user confirmed keeps "Stopp" disabled across page changes.
  state_.exportEnabled = page == kPageCount && runButtonEnabled_;
}

void ExportWizard::ForwardClick() {
  if (state_.page >= kPageCount) return;
  ShowPage(state_.page + 1);
  switch (state_.page) {
    case 2:
      state_.extensionListEnabled = state_.selectExtensions;
      FillExtensionPage();
      break;
    case 3:
      if (state_.selectExtensions && ChosenExtensionsOf(state_.extensions).empty()) {
        Changed();
        host_.ShowMessage(std::string(texts::kNoExtensionChosen));
        ShowPage(2);
      }
      break;
    case 4:
      RefreshPatternPreview();
      break;
    case 5:
      state_.targetFolderLine = "Speicherort: " + state_.folderText;
      state_.targetFileLine = "Dateiname: " + state_.preview;
      break;
    default:
      break;
  }
  Changed();
}

void ExportWizard::BackClick() {
  state_.forwardEnabled = true;
  if (state_.page > 1) ShowPage(state_.page - 1);
  Changed();
}

void ExportWizard::HelpClick() { host_.OpenUrl(services_.helpUrl); }

void ExportWizard::ExportClick() {
  if (!run_) return;
  // A click that arrives while the run lets messages in is the run's own
  // business: a stop request, or nothing while the run is ending.
  if (inRun_) {
    run_->ExportClick();
    return;
  }
  inRun_ = true;
  try {
    run_->ExportClick();
  } catch (const std::exception& error) {
    // The run has ended where it failed; the report keeps its lines.
    host_.ShowMessageBox(error.what(), "", MessageKind::Error, {MessageButton::OK});
  }
  inRun_ = false;
  if (closeRequested_) Close();
}

void ExportWizard::CloseClick() {
  if (inRun_) {
    closeRequested_ = true;
    return;
  }
  Close();
}

void ExportWizard::Close() {
  if (closed_) return;
  closed_ = true;
  SaveSettings();
  host_.CloseWindow();
}

void ExportWizard::SetIncludeSubfolders(bool include) {
  if (state_.includeSubfolders == include) return;
  state_.includeSubfolders = include;
  Changed();
}

void ExportWizard::SetFolderText(std::string text) {
  if (state_.folderText == text) return;
  state_.folderText = std::move(text);
  Changed();
}

void ExportWizard::ChangeFolderClick() {
  const std::string chosen = host_.BrowseForFolder(std::string(texts::kBrowseTitle), state_.folderText);
  if (chosen.empty()) return;
  state_.folderText = NormalizeFolderText(chosen, true);
  Changed();
}

void ExportWizard::SetSelectExtensions(bool select) {
  state_.selectExtensions = select;
  state_.extensionListEnabled = select;
  Changed();
}

void ExportWizard::SetExtensionChecked(std::size_t index, bool checked) {
  if (index >= state_.extensions.size() || state_.extensions[index].checked == checked) return;
  state_.extensions[index].checked = checked;
  Changed();
}

void ExportWizard::SetExportEmbedded(bool embedded) {
  if (state_.exportEmbedded == embedded) return;
  state_.exportEmbedded = embedded;
  Changed();
}

void ExportWizard::SetSubfolderRule(std::optional<engine::SubfolderRule> rule) {
  if (state_.subfolderRule == rule) return;
  state_.subfolderRule = rule;
  Changed();
}

void ExportWizard::UpdatePatternEnabling() {
  const bool own = state_.fileNameRule == FileNameRule::Pattern;
  state_.patternEnabled = own;
  state_.fieldButtonEnabled = own;
  state_.presetButtonEnabled = own;
}

void ExportWizard::SetFileNameRule(FileNameRule rule) {
  state_.fileNameRule = rule;
  UpdatePatternEnabling();
  RefreshPatternPreview();
  Changed();
}

void ExportWizard::FileNameOptionFocusLost(FileNameRule rule) {
  if (rule != FileNameRule::SenderName && rule != FileNameRule::Pattern && rule != FileNameRule::SenderMail) return;
  const bool own = state_.fileNameRule == FileNameRule::Pattern;
  state_.patternEnabled = own;
  state_.fieldButtonEnabled = own;
  Changed();
}

void ExportWizard::SetPatternText(std::string text) {
  if (CodePointCount(text) > static_cast<std::size_t>(kMaxPatternLength)) {
    text = TruncateCodePoints(text, kMaxPatternLength);
  }
  if (state_.pattern == text) return;
  state_.pattern = std::move(text);
  RefreshPatternPreview();
  Changed();
}

void ExportWizard::SetNoOverwrite(bool noOverwrite) {
  state_.noOverwrite = noOverwrite;
  RefreshPatternPreview();
  Changed();
}

bool ExportWizard::FieldButtonClick(bool arrow) {
  if (!state_.fieldButtonEnabled || (state_.fieldMenuOpen && !arrow)) return false;
  state_.fieldMenuOpen = true;
  return true;
}

bool ExportWizard::PresetButtonClick(bool arrow) {
  if (!state_.presetButtonEnabled || (state_.presetMenuOpen && !arrow)) return false;
  state_.presetMenuOpen = true;
  return true;
}

int ExportWizard::FieldMenuClosed(std::optional<int> entry, int selectionStart) {
  // Cleared on a dismissed menu too: the button must open it again.
  state_.fieldMenuOpen = false;
  if (!entry || *entry < 0 || *entry >= static_cast<int>(kFieldMenu.size()) ||
      kFieldMenu[static_cast<std::size_t>(*entry)].token < 0) {
    return -1;
  }
  const auto token = engine::PlaceholderTokens[kFieldMenu[static_cast<std::size_t>(*entry)].token];
  PatternEdit edit = InsertToken(state_.pattern, selectionStart, token);
  state_.pattern = std::move(edit.text);
  RefreshPatternPreview();
  Changed();
  return edit.caret;
}

void ExportWizard::PresetMenuClosed(std::optional<int> entry) {
  state_.presetMenuOpen = false;
  if (!entry || *entry < 0 || *entry >= static_cast<int>(kPresetMenu.size())) return;
  state_.pattern = PresetPatterns[kPresetMenu[static_cast<std::size_t>(*entry)].pattern];
  RefreshPatternPreview();
  Changed();
}

void ExportWizard::RefreshPatternPreview() {
  if (!explorer_) return;
  // The example is a courtesy: when Outlook cannot give one, the label
  // keeps what it showed rather than an error box at every click.
  try {
    const auto folder = explorer_->CurrentFolder();
    std::optional<engine::TMailData> mail;
    if (const auto items = folder->GetItems(); items->Count() >= 1) {
      mail = engine::PreviewMailData(*items);
    } else if (const auto folders = folder->GetFolders(); folders->Count() >= 1) {
      const auto items2 = folders->GetItem(1)->GetItems();
      if (items2->Count() >= 1) mail = engine::PreviewMailData(*items2);
    }
    if (!mail) return;
    const engine::TargetNaming naming(services_.fileSystem, services_.clock);
    state_.preview = naming.PreviewName(*mail, CurrentChoices(), host_.RandomDigit());
  } catch (const outlook::OutlookError&) {
  }
}

void ExportWizard::FillExtensionPage() {
  // Rebuilt from the stored form on every entry from page 1; checks made
  // on an earlier visit are not kept.
  state_.extensions = FillExtensionEntries([this](std::string_view e) { return host_.FileTypeName(e); },
                                           [this](const std::string& a, const std::string& b) {
                                             return host_.CompareText(a, b);
                                           },
                                           extensionText_, state_.selectExtensions);
}

engine::ExportSettings ExportWizard::CurrentChoices() {
  engine::ExportSettings s;
  s.AttachFolder = state_.folderText;
  s.AttachFolderOption = state_.subfolderRule;
  s.AttachFilenameOption = state_.fileNameRule;
  s.FilnamePrefix = state_.pattern;
  s.AttachNoOverwrite = state_.noOverwrite;
  s.SelectExtensions = state_.selectExtensions;
  s.ExtensionList = extensionText_;
  s.AttachExportEmbedded = state_.exportEmbedded;
  s.IncludeSubfolders = state_.includeSubfolders;
  return s;
}

void ExportWizard::SaveSettings() {
  // A key that cannot be written costs the user the choices of this
  // opening only; the dialog goes on.
  wizard::SaveSettings(services_.registry, CurrentChoices());
}

std::vector<std::string> ExportWizard::BuildChosenExtensions() {
  std::vector<std::string> chosen;
  if (state_.selectExtensions) chosen = ChosenExtensionsOf(state_.extensions);
  extensionText_ = engine::ExtensionText(chosen);
  return chosen;
}

void ExportWizard::SetExportButton(const std::string& caption, bool enabled) {
  state_.exportCaption = caption;
  runButtonEnabled_ = enabled;
  state_.exportEnabled = enabled && state_.page == kPageCount;
  Changed();
}

bool ExportWizard::ConfirmStop() {
  return host_.ShowMessageBox(std::string(kStopQuestion), std::string(kStopCaption), MessageKind::Information,
                              {MessageButton::YesNo}) == kResultYes;
}

void ExportWizard::ShowSummary(const std::string& text) { host_.ShowMessage(text); }

void ExportWizard::AppendReportLine(const std::string& line) {
  report_.push_back(line);
  host_.ReportLineAppended(line);
}

void ExportWizard::SetProgressMax(int maximum) {
  state_.progressMax = maximum;
  Changed();
}

void ExportWizard::SetProgressPosition(int position) {
  state_.progressPosition = position;
  Changed();
}

void ExportWizard::ShowTarget(const std::string& folderLabel, const std::string& fileLabel) {
  state_.targetFolderLine = folderLabel;
  state_.targetFileLine = fileLabel;
  Changed();
}

void ExportWizard::ProcessPendingMessages() { host_.ProcessPendingMessages(); }

}  // namespace trovex::wizard
