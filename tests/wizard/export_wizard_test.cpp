#include "wizard/export_wizard.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "outlook/mail_store.h"
#include "outlook/store_binding.h"
#include "testing/env.h"
#include "testing/memory_registry.h"
#include "testing/temp_dir.h"
#include "wizard/export_settings.h"
#include "wizard/pattern_editor.h"
#include "wizard/wizard_texts.h"

namespace trovex::wizard {
namespace {

using engine::FileNameRule;
using engine::SubfolderRule;
using store::StoreAttachment;
using store::StoreFolder;
using store::StoreMail;
using ::testing::ElementsAre;
using Lines = std::vector<std::string>;

constexpr auto kHelpUrl = "https://www.example.de/addins/trovex/hilfe.php";

// The window and the system around the wizard, as a test plays them: every
// box and call is recorded; questions get the scripted answer.
class FakeHost final : public WizardHost {
 public:
  Lines events;  // boxes, messages, browsing, urls and closing, in order
  std::vector<std::string> lines;
  int stateChanges = 0;
  int answer = kResultYes;
  std::string browseAnswer;
  std::function<void()> onPump;
  std::function<void()> onMessage;
  const std::map<std::string, std::string, std::less<>> typeNames = {
      {".pdf", "Adobe Acrobat Document"}, {".doc", "Microsoft Word 97-2003"}, {".docx", "Microsoft Word"},
      {".zip", "ZIP-komprimierter Ordner"}, {".xlsx", "Microsoft Excel"}};

  void StateChanged() override { ++stateChanges; }
  void ReportLineAppended(const std::string& line) override { lines.push_back(line); }
  void CloseWindow() override { events.push_back("close"); }
  // Copies, so a handler may clear itself.
  void ProcessPendingMessages() override {
    if (auto pump = onPump) pump();
  }
  int ShowMessageBox(const std::string& text, const std::string& caption, MessageKind kind,
                     MessageButtons buttons) override {
    events.push_back("box " + caption + ": " + text + (kind == MessageKind::Error ? " (Fehler)" : "") +
                     (buttons.Contains(MessageButton::YesNo) ? " [Ja/Nein]" : ""));
    return buttons.Contains(MessageButton::YesNo) ? answer : kResultOk;
  }
  void ShowMessage(const std::string& text) override {
    events.push_back("message: " + text);
    if (auto then = onMessage) then();
  }
  std::string BrowseForFolder(const std::string& title, const std::string& start) override {
    events.push_back("browse " + start + " | " + title);
    return browseAnswer;
  }
  void OpenUrl(const std::string& url) override { events.push_back("open " + url); }
  std::string FileTypeName(std::string_view extension) override {
    const auto it = typeNames.find(extension);
    return it == typeNames.end() ? std::string() : it->second;
  }
  int CompareText(const std::string& a, const std::string& b) override { return a.compare(b); }
  std::string PersonalFolder() override { return "C:\\Users\\jo\\Documents"; }
  int RandomDigit() override { return 7; }
};

class SettingsRegistry final : public testing::MemoryRegistry {
 public:
  void Store(std::string_view name, Value v) { Set(RegistryRoot::CurrentUser, kSettingsKey, name, std::move(v)); }
  std::string Stored(std::string_view name) {
    const Value* v = Find(RegistryRoot::CurrentUser, kSettingsKey, name);
    if (!v) return "<absent>";
    if (const auto* s = std::get_if<std::string>(v)) return *s;
    return std::to_string(std::get<std::uint32_t>(*v));
  }
};

class ExportWizardTest : public ::testing::Test {
 protected:
  // A wizard on `root_` (or on the folder the test names), shown.
  ExportWizard& Open(const StoreFolder* current = nullptr) {
    store_ = std::make_shared<store::MailStore>(store::MailStore{.root = root_});
    app_ = store::MakeStoreApplication(store_, current ? FindIn(store_->root, current->name) : nullptr);
    wizard_ = std::make_unique<ExportWizard>(
        host_, WizardServices{.registry = registry_, .fileSystem = RealFileSystem(), .helpUrl = kHelpUrl,
                              .clock = [] { return CivilTime{.year = 2026, .month = 12, .day = 9, .hour = 9}; }});
    wizard_->SetExplorer(app_->ActiveExplorer());
    EXPECT_TRUE(wizard_->Show());
    return *wizard_;
  }
  static const StoreFolder* FindIn(const StoreFolder& folder, const std::string& name) {
    if (folder.name == name) return &folder;
    for (const auto& sub : folder.folders)
      if (const auto* found = FindIn(sub, name)) return found;
    return nullptr;
  }
  // Pages forward until `page` is shown.
  void GoTo(int page) {
    while (wizard_->State().page < page) wizard_->ForwardClick();
    ASSERT_EQ(wizard_->State().page, page);
  }
  // The folder box pointed at the test's export folder, files by their own
  // names.
  void ExportHere() {
    wizard_->SetFolderText(exportDir_);
    wizard_->SetFileNameRule(FileNameRule::OwnName);
  }
  std::vector<std::string> Checked() const {
    std::vector<std::string> out;
    for (const auto& e : wizard_->State().extensions)
      if (e.checked) out.push_back(e.extension);
    return out;
  }
  std::size_t Entry(std::string_view extension) const {
    const auto& list = wizard_->State().extensions;
    for (std::size_t i = 0; i < list.size(); ++i)
      if (list[i].extension == extension) return i;
    ADD_FAILURE() << "no entry " << extension;
    return 0;
  }
  int Count(std::string_view line) const {
    return static_cast<int>(std::count_if(host_.lines.begin(), host_.lines.end(),
                                          [&](const std::string& l) { return l.ends_with(line); }));
  }

  static StoreMail MailWith(std::string subject, std::vector<std::string> files) {
    StoreMail mail{.subject = std::move(subject), .senderName = "Anna Berg", .senderEmailAddress = "anna@berg.de",
                   .receivedTime = 45366.5};  // 2024-03-15 12:00
    for (auto& f : files) mail.attachments.push_back({.fileName = f, .content = store::BytesContent("x")});
    return mail;
  }

  const trovex::testing::TempDir temp_{"trovex-wizard"};
  const std::string exportDir_ = temp_.path().string();
  StoreFolder root_{.name = "Posteingang"};
  FakeHost host_;
  SettingsRegistry registry_;
  std::shared_ptr<store::MailStore> store_;
  std::unique_ptr<outlook::Application> app_;
  std::unique_ptr<ExportWizard> wizard_;
};

// --- Opening -------------------------------------------------------------

TEST_F(ExportWizardTest, FirstOpeningShowsPageOneWithTheDefaults) {
  const auto& s = Open().State();
  EXPECT_EQ(s.page, 1);
  EXPECT_FALSE(s.backEnabled);
  EXPECT_TRUE(s.forwardEnabled);
  EXPECT_FALSE(s.exportEnabled);
  EXPECT_EQ(s.exportCaption, "Export starten");
  EXPECT_EQ(s.onlyFolderCaption, "nur der selektierte &Ordner \"Posteingang\"");
  EXPECT_EQ(s.withSubfoldersCaption, "der selektierte Ordner \"Posteingang\" und dessen &Unterordner");
  EXPECT_FALSE(s.includeSubfolders);
  EXPECT_EQ(s.folderText, "C:\\Users\\jo\\Documents\\");
  EXPECT_EQ(s.subfolderRule, SubfolderRule::None);
  EXPECT_EQ(s.fileNameRule, std::nullopt);
  EXPECT_FALSE(s.patternEnabled || s.fieldButtonEnabled || s.presetButtonEnabled);
  EXPECT_EQ(s.pattern, "");
  EXPECT_FALSE(s.noOverwrite);  // the stored default wins over the dialog's checked box
  EXPECT_FALSE(s.selectExtensions);
  EXPECT_FALSE(s.exportEmbedded);
  EXPECT_TRUE(host_.events.empty());
}

TEST_F(ExportWizardTest, StoredSettingsAreShown) {
  registry_.Store("AttachFolderOption", "010001");  // the last "1" wins
  registry_.Store("AttachFilenameOption", "00010");
  registry_.Store("FilnamePrefix", "[Subject]");
  registry_.Store("AttachNoOverwrite", 1u);
  registry_.Store("SelectExtensions", 1u);
  registry_.Store("AttachExportEmbedded", 1u);
  testing::SetEnv("TROVEX_WIZARD_HOME", "/srv/anna");
  registry_.Store("AttachFolder", "  %TROVEX_WIZARD_HOME%\\Anhänge ");
  const auto& s = Open().State();
  EXPECT_EQ(s.subfolderRule, SubfolderRule::Extension);
  EXPECT_EQ(s.fileNameRule, FileNameRule::Pattern);
  EXPECT_TRUE(s.patternEnabled && s.fieldButtonEnabled && s.presetButtonEnabled);
  EXPECT_EQ(s.pattern, "[Subject]");
  EXPECT_TRUE(s.noOverwrite);
  EXPECT_TRUE(s.selectExtensions && s.extensionListEnabled);
  EXPECT_TRUE(s.exportEmbedded);
  EXPECT_EQ(s.folderText, "/srv/anna\\Anhänge\\");

  registry_.Store("AttachFolderOption", "000000");
  EXPECT_EQ(Open().State().subfolderRule, std::nullopt);
}

TEST_F(ExportWizardTest, OpeningAgainStartsOnPageOneWithItsButtons) {
  Open();
  GoTo(5);
  ASSERT_TRUE(wizard_->State().exportEnabled);
  ASSERT_TRUE(wizard_->Show());
  const auto& s = wizard_->State();
  EXPECT_EQ(s.page, 1);
  EXPECT_FALSE(s.backEnabled);
  EXPECT_TRUE(s.forwardEnabled);
  EXPECT_FALSE(s.exportEnabled);
  EXPECT_FALSE(wizard_->ExportStarted());
  EXPECT_FALSE(wizard_->ClickedCancel());
}

// Outlook without a window, or a window without a folder: the user is told
// and no wizard appears.
TEST(ExportWizardWithoutFolder, TellsTheUserAndDoesNotShow) {
  struct NoFolderExplorer final : outlook::Explorer {
    std::unique_ptr<outlook::Folder> CurrentFolder() override { throw outlook::OutlookError("Kein Ordner"); }
  };
  for (const bool haveExplorer : {false, true}) {
    FakeHost host;
    testing::MemoryRegistry registry;
    ExportWizard wizard(host, WizardServices{.registry = registry, .fileSystem = RealFileSystem(), .helpUrl = ""});
    if (haveExplorer) wizard.SetExplorer(std::make_unique<NoFolderExplorer>());
    EXPECT_FALSE(wizard.Show());
    EXPECT_THAT(host.events, ElementsAre("box " + std::string(texts::kWindowCaption) + ": " +
                                         std::string(texts::kNoFolderSelected)));
    EXPECT_TRUE(registry.accesses.empty()) << "settings are not even read";
  }
}

// --- Paging --------------------------------------------------------------

TEST_F(ExportWizardTest, PageButtonsFollowThePage) {
  Open();
  struct Expected {
    int page;
    bool back, forward, exportButton;
  };
  const Expected forward[] = {{2, true, true, false}, {3, true, true, false}, {4, true, true, false},
                              {5, true, false, true}, {5, true, false, true}};  // nothing past the last page
  for (const auto& e : forward) {
    wizard_->ForwardClick();
    const auto& s = wizard_->State();
    EXPECT_EQ(s.page, e.page);
    EXPECT_EQ(s.backEnabled, e.back) << e.page;
    EXPECT_EQ(s.forwardEnabled, e.forward) << e.page;
    EXPECT_EQ(s.exportEnabled, e.exportButton) << e.page;
  }
  for (const int page : {4, 3, 2, 1, 1}) {
    wizard_->BackClick();
    EXPECT_EQ(wizard_->State().page, page);
    EXPECT_TRUE(wizard_->State().forwardEnabled);
    EXPECT_FALSE(wizard_->State().exportEnabled);
  }
  EXPECT_FALSE(wizard_->State().backEnabled);
}

TEST_F(ExportWizardTest, PageFiveNamesTheTargetAndTheExampleName) {
  root_.AddMail(MailWith("Angebot", {}));
  Open();
  ExportHere();
  GoTo(5);
  EXPECT_EQ(wizard_->State().targetFolderLine, "Speicherort: " + exportDir_);
  EXPECT_EQ(wizard_->State().targetFileLine, "Dateiname: \\beispiel.pdf");
}

TEST_F(ExportWizardTest, HelpOpensTheHelpPage) {
  Open().HelpClick();
  EXPECT_THAT(host_.events, ElementsAre(std::string("open ") + kHelpUrl));
}

TEST_F(ExportWizardTest, ChangeFolderTakesWhatTheFolderDialogGives) {
  testing::SetEnv("TROVEX_WIZARD_HOME", "/srv/anna");
  struct Case {
    std::string answer, expected;
  } const cases[] = {
      {"C:\\Daten", "C:\\Daten\\"},                      // chosen, or the existing start folder after a cancel
      {"", "C:\\Users\\jo\\Documents\\"},               // cancelled with a start folder that does not exist
      {" %TROVEX_WIZARD_HOME% ", "/srv/anna\\"},
  };
  for (const auto& c : cases) {
    Open();
    host_.events.clear();
    host_.browseAnswer = c.answer;
    wizard_->ChangeFolderClick();
    EXPECT_EQ(wizard_->State().folderText, c.expected) << c.answer;
    EXPECT_THAT(host_.events, ElementsAre("browse C:\\Users\\jo\\Documents\\ | " + std::string(texts::kBrowseTitle)));
  }
}

// --- Extension page ------------------------------------------------------

TEST(ExtensionEntries, StoredTextChecksTheMatchingEntries) {
  const auto typeName = [](std::string_view e) { return std::string(e == ".pdf" ? "PDF-Dokument" : "Datei"); };
  const auto order = [](const std::string& a, const std::string& b) { return a.compare(b); };
  struct Case {
    std::string stored;
    bool select;
    std::vector<std::string> checked;
  } const cases[] = {
      {".PDF;.ZIP;", true, {".pdf", ".zip"}},
      {".DOC;", true, {".doc"}},  // not .docx
      {".pdf", true, {".pdf"}},
      {".EXE;;", true, {}},
      {".PDF;.ZIP;", false, {}},
      {"", true, {}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> checked;
    for (const auto& e : FillExtensionEntries(typeName, order, c.stored, c.select))
      if (e.checked) checked.push_back(e.extension);
    EXPECT_EQ(checked, c.checked) << c.stored << " " << c.select;
  }
  const auto entries = FillExtensionEntries(typeName, order, "", false);
  std::vector<std::string> captions;
  for (const auto& e : entries) captions.push_back(e.caption);
  EXPECT_THAT(captions, ElementsAre(".DOC - Datei", ".DOCX - Datei", ".JPG - Datei", ".PDF - PDF-Dokument",
                                    ".PNG - Datei", ".RTF - Datei", ".TXT - Datei", ".VCF - Datei", ".XLS - Datei",
                                    ".XLSX - Datei", ".ZIP - Datei"));
}

TEST(ExtensionEntries, ChosenExtensionsFollowTheListOrder) {
  std::vector<ExtensionEntry> entries = {
      {".doc", ".DOC - Word", true}, {".docx", ".DOCX - Word", false}, {".xlsx", ".XLSX - Excel", true}};
  EXPECT_THAT(ChosenExtensionsOf(entries), ElementsAre(".DOC", ".XLSX"));
  entries[1].checked = true;
  EXPECT_THAT(ChosenExtensionsOf(entries), ElementsAre(".DOC", ".DOCX", ".XLSX"));
}

TEST_F(ExportWizardTest, EnteringPageTwoFromPageOneRebuildsTheList) {
  registry_.Store("SelectExtensions", 1u);
  registry_.Store("ExtensionList", ".PDF;.ZIP;");
  Open();
  GoTo(2);
  EXPECT_EQ(wizard_->State().extensions.size(), ExtensionCatalog.size());
  EXPECT_EQ(wizard_->State().extensions[Entry(".pdf")].caption, ".PDF - Adobe Acrobat Document");
  EXPECT_THAT(Checked(), ElementsAre(".pdf", ".zip"));
  EXPECT_TRUE(wizard_->State().extensionListEnabled);

  wizard_->SetExtensionChecked(Entry(".docx"), true);
  wizard_->ForwardClick();
  wizard_->BackClick();  // back from page 3 keeps the list
  EXPECT_THAT(Checked(), ElementsAre(".docx", ".pdf", ".zip"));
  wizard_->BackClick();
  wizard_->ForwardClick();  // again from page 1: rebuilt from the stored text
  EXPECT_THAT(Checked(), ElementsAre(".pdf", ".zip"));
}

TEST_F(ExportWizardTest, ChosenExtensionsWithNothingCheckedAreRefused) {
  registry_.Store("ExtensionList", ".PDF;");
  Open();
  GoTo(2);
  EXPECT_FALSE(wizard_->State().extensionListEnabled);
  EXPECT_TRUE(Checked().empty()) << "\"alle Anhänge\" shows nothing checked whatever is stored";

  wizard_->SetSelectExtensions(true);
  EXPECT_TRUE(wizard_->State().extensionListEnabled);
  wizard_->ForwardClick();
  EXPECT_EQ(wizard_->State().page, 2);
  EXPECT_THAT(host_.events, ElementsAre("message: Sie haben keine Dateierweiterung gewählt!"));

  wizard_->SetExtensionChecked(Entry(".pdf"), true);
  wizard_->ForwardClick();
  EXPECT_EQ(wizard_->State().page, 3);
  EXPECT_EQ(host_.events.size(), 1u);
}

// --- Pattern editor ------------------------------------------------------

TEST(PatternEditing, TokenGoesInFrontOfTheSelectionStart) {
  struct Case {
    std::string text;
    int at;
    std::string expected;
    int caret;
  } const cases[] = {
      {"", 0, "[SenderName]", 12},
      {"[SenderName]", 12, "[SenderName][Subject]", 21},
      {"Grüße", 3, "Grü[Subject]ße", 12},  // characters, not bytes
      {"ab", 99, "ab[Subject]", 11},
  };
  for (const auto& c : cases) {
    const auto edit = InsertToken(c.text, c.at, c.expected == "[SenderName]" ? "[SenderName]" : "[Subject]");
    EXPECT_EQ(edit.text, c.expected);
    EXPECT_EQ(edit.caret, c.caret) << c.text;
  }
}

TEST_F(ExportWizardTest, FieldAndPresetMenusFillThePattern) {
  Open();
  EXPECT_FALSE(wizard_->FieldButtonClick(false)) << "disabled without \"eigener Dateiname\"";
  wizard_->SetFileNameRule(FileNameRule::Pattern);
  EXPECT_TRUE(wizard_->State().patternEnabled && wizard_->State().fieldButtonEnabled &&
              wizard_->State().presetButtonEnabled);

  ASSERT_TRUE(wizard_->FieldButtonClick(false));
  EXPECT_TRUE(wizard_->State().fieldMenuOpen);
  EXPECT_FALSE(wizard_->FieldButtonClick(false)) << "a menu that is open is not opened again";
  EXPECT_TRUE(wizard_->FieldButtonClick(true)) << "the arrow always opens it";
  EXPECT_EQ(wizard_->FieldMenuClosed(1, 0), 12);  // "Name des Absenders [SenderName]"
  EXPECT_FALSE(wizard_->State().fieldMenuOpen);
  ASSERT_TRUE(wizard_->FieldButtonClick(false));
  EXPECT_EQ(wizard_->FieldMenuClosed(0, 12), 21);
  EXPECT_EQ(wizard_->State().pattern, "[SenderName][Subject]");

  ASSERT_TRUE(wizard_->FieldButtonClick(false));
  EXPECT_EQ(wizard_->FieldMenuClosed(std::nullopt, 0), -1);
  EXPECT_TRUE(wizard_->FieldButtonClick(false)) << "a dismissed menu opens again";
  EXPECT_EQ(wizard_->FieldMenuClosed(5, 0), -1) << "the separator inserts nothing";
  EXPECT_EQ(wizard_->State().pattern, "[SenderName][Subject]");

  ASSERT_TRUE(wizard_->PresetButtonClick(false));
  wizard_->PresetMenuClosed(1);
  EXPECT_EQ(wizard_->State().pattern, "[ActualDate(yyyy-mm)] - [Subject] - [SenderMail]");
  EXPECT_FALSE(wizard_->State().presetMenuOpen);

  wizard_->SetFileNameRule(FileNameRule::OwnName);
  EXPECT_FALSE(wizard_->State().patternEnabled || wizard_->State().fieldButtonEnabled ||
               wizard_->State().presetButtonEnabled);
  EXPECT_EQ(wizard_->State().pattern, "[ActualDate(yyyy-mm)] - [Subject] - [SenderMail]");
}

TEST_F(ExportWizardTest, PatternBoxTakesAtMostItsLength) {
  Open().SetPatternText(std::string(300, 'x') + "ü");
  EXPECT_EQ(wizard_->State().pattern, std::string(256, 'x'));
}

TEST_F(ExportWizardTest, PreviewFollowsTheRules) {
  root_.AddMail(MailWith("Erste", {})).AddMail(MailWith("Angebot", {}));
  Open();
  struct Case {
    std::optional<SubfolderRule> folder;
    FileNameRule name;
    std::string pattern;
    bool counter;
    std::string preview;
  } const cases[] = {
      {SubfolderRule::None, FileNameRule::OwnName, "", false, "\\beispiel.pdf"},
      {SubfolderRule::None, FileNameRule::OwnName, "", true, "\\beispiel_7.pdf"},
      {SubfolderRule::Subject, FileNameRule::SenderName, "", false, "Angebot\\Anna Berg_beispiel.pdf"},
      {SubfolderRule::ReceivedMonth, FileNameRule::Pattern, "[SenderMail] [ActualDate(yyyy-mm)]", false,
       "2024-03\\anna@berg.de 2026-12_beispiel.pdf"},
  };
  for (const auto& c : cases) {
    wizard_->SetSubfolderRule(c.folder);
    wizard_->SetPatternText(c.pattern);
    wizard_->SetNoOverwrite(c.counter);
    wizard_->SetFileNameRule(c.name);  // the last mail of the folder is the example
    EXPECT_EQ(wizard_->State().preview, c.preview);
  }
}

TEST_F(ExportWizardTest, PreviewOfAnEmptyFolderLooksIntoItsFirstSubfolder) {
  StoreFolder& empty = root_.AddFolder("Leer");
  empty.AddFolder("Unten").AddMail(MailWith("Unten", {}));
  empty.AddFolder("Zweiter").AddMail(MailWith("Zweiter", {}));
  root_.AddFolder("Ganz leer");
  root_.AddFolder("Termine").AddOther("t", "IPM.Appointment");
  struct Case {
    std::string folder, preview;
  } const cases[] = {
      {"Leer", "Unten\\beispiel.pdf"},
      {"Ganz leer", ""},  // unchanged
      {"Termine", ""},    // the example is no mail
  };
  for (const auto& c : cases) {
    registry_.Store("AttachFolderOption", "010000");
    registry_.Store("AttachFilenameOption", "10000");
    const StoreFolder* current = FindIn(root_, c.folder);
    Open(current);
    EXPECT_EQ(wizard_->State().preview, c.preview) << c.folder;
  }
}

// --- The run -------------------------------------------------------------

TEST_F(ExportWizardTest, ExportWritesTheFilesAndEndsWithTheSummary) {
  root_.AddMail(MailWith("Angebot", {"preis.pdf", "bild.png"}));
  Open();
  ExportHere();
  GoTo(5);
  Lines buttons;
  host_.onPump = [&] {
    const std::string b = wizard_->State().exportCaption + (wizard_->State().exportEnabled ? "" : " (aus)");
    if (buttons.empty() || buttons.back() != b) buttons.push_back(b);
  };
  wizard_->ExportClick();
  EXPECT_TRUE(std::filesystem::exists(temp_.path() / "preis.pdf"));
  EXPECT_TRUE(std::filesystem::exists(temp_.path() / "bild.png"));
  EXPECT_THAT(buttons, ElementsAre("Stopp", "Export starten"));
  EXPECT_EQ(host_.lines, wizard_->ReportLines());
  EXPECT_EQ(host_.lines.front(), std::string(36, '*'));
  EXPECT_TRUE(host_.lines.back().ends_with(": Fertig!"));
  EXPECT_THAT(host_.events,
              ElementsAre("message: Der Export ist beendet.\n\nEs wurden insgesamt 2 Dateien exportiert."));
  EXPECT_EQ(wizard_->State().progressMax, 1);
  EXPECT_EQ(wizard_->State().progressPosition, 1);
  EXPECT_EQ(wizard_->State().exportCaption, "Export starten");
  EXPECT_TRUE(wizard_->State().exportEnabled);
  EXPECT_EQ(registry_.Stored("AttachFolder"), exportDir_) << "the run saves first";
}

TEST_F(ExportWizardTest, StopDuringTheFirstMailEndsTheRunAfterIt) {
  root_.AddMail(MailWith("Erste", {"a.txt", "b.txt"})).AddMail(MailWith("Zweite", {"c.txt"}));
  root_.AddFolder("Unter").AddMail(MailWith("Unten", {"d.txt"}));
  Open();
  ExportHere();
  wizard_->SetIncludeSubfolders(true);
  GoTo(5);
  host_.onPump = [&] {
    if (!host_.lines.empty() && host_.lines.back().find("a.txt") != std::string::npos) {
      host_.onPump = nullptr;
      wizard_->ExportClick();  // "Stopp"
      EXPECT_EQ(wizard_->State().exportCaption, "Stopp");
      EXPECT_FALSE(wizard_->State().exportEnabled);
      EXPECT_TRUE(wizard_->ClickedCancel());
    }
  };
  wizard_->ExportClick();
  EXPECT_TRUE(std::filesystem::exists(temp_.path() / "b.txt")) << "the mail under way is finished";
  EXPECT_FALSE(std::filesystem::exists(temp_.path() / "c.txt"));
  EXPECT_FALSE(std::filesystem::exists(temp_.path() / "d.txt"));
  EXPECT_EQ(Count("Abgebrochen..."), 1);
  EXPECT_EQ(Count("Fertig!"), 1);
  EXPECT_THAT(host_.events,
              ElementsAre("box Outlook AddIn zum Export von E-Mail-Anhängen: Möchten Sie den Export wirklich "
                          "abbrechen? [Ja/Nein]",
                          "message: Der Export ist beendet.\n\nEs wurden insgesamt 2 Dateien exportiert."));
  EXPECT_FALSE(wizard_->ExportStarted());
  EXPECT_EQ(wizard_->State().exportCaption, "Export starten");
  EXPECT_TRUE(wizard_->State().exportEnabled);
}

TEST_F(ExportWizardTest, NoToTheStopQuestionLetsTheRunGoOn) {
  root_.AddMail(MailWith("Erste", {"a.txt"})).AddMail(MailWith("Zweite", {"c.txt"}));
  Open();
  ExportHere();
  GoTo(5);
  host_.answer = kResultNo;
  host_.onPump = [&] {
    host_.onPump = nullptr;
    wizard_->ExportClick();
    EXPECT_EQ(wizard_->State().exportCaption, "Stopp");
    EXPECT_TRUE(wizard_->State().exportEnabled);
  };
  wizard_->ExportClick();
  EXPECT_EQ(Count("Abgebrochen..."), 0);
  EXPECT_TRUE(std::filesystem::exists(temp_.path() / "c.txt"));
  EXPECT_EQ(host_.events.back(), "message: Der Export ist beendet.\n\nEs wurden insgesamt 2 Dateien exportiert.");
}

TEST_F(ExportWizardTest, TwoRunsInOneOpeningShareTheReport) {
  root_.AddMail(MailWith("Erste", {"a.txt", "b.txt"}));
  Open();
  ExportHere();
  GoTo(5);
  wizard_->ExportClick();
  wizard_->SetNoOverwrite(true);
  wizard_->SetFileNameRule(FileNameRule::OwnName);
  wizard_->ExportClick();
  EXPECT_EQ(Count("Trovex vom 09.12.2026"), 2);
  EXPECT_EQ(Count("Fertig!"), 2);
  EXPECT_TRUE(std::filesystem::exists(temp_.path() / "a_1.txt"));
  EXPECT_THAT(host_.events, ElementsAre("message: Der Export ist beendet.\n\nEs wurden insgesamt 2 Dateien exportiert.",
                                        "message: Der Export ist beendet.\n\nEs wurden insgesamt 2 Dateien exportiert."));
}

TEST_F(ExportWizardTest, ClosingDuringARunClosesAfterTheSummary) {
  root_.AddMail(MailWith("Erste", {"a.txt"})).AddMail(MailWith("Zweite", {"c.txt"}));
  Open();
  ExportHere();
  GoTo(5);
  host_.onPump = [&] {
    host_.onPump = nullptr;
    wizard_->CloseClick();
    EXPECT_TRUE(host_.events.empty()) << "not closed while the run is under way";
  };
  wizard_->ExportClick();
  EXPECT_TRUE(std::filesystem::exists(temp_.path() / "c.txt")) << "the close request does not stop the run";
  EXPECT_THAT(host_.events,
              ElementsAre("message: Der Export ist beendet.\n\nEs wurden insgesamt 2 Dateien exportiert.", "close"));
}

TEST_F(ExportWizardTest, AClickWhileTheRunEndsStartsNoSecondRun) {
  root_.AddMail(MailWith("Erste", {"a.txt"}));
  Open();
  ExportHere();
  GoTo(5);
  host_.onMessage = [&] {
    host_.onMessage = nullptr;
    wizard_->ExportClick();  // on the re-enabled button, under the summary box
  };
  wizard_->ExportClick();
  EXPECT_EQ(Count("Trovex vom 09.12.2026"), 1);
  EXPECT_EQ(host_.events.size(), 1u);
}

TEST_F(ExportWizardTest, AnErrorEndsTheRunWithAnErrorBoxAndTheDialogStaysUsable) {
  StoreMail broken = MailWith("Kaputt", {"a.txt"});
  broken.attachments[0].faults = {{"SaveAsFile", "Der Vorgang ist fehlgeschlagen."}};
  root_.AddMail(broken);
  Open();
  ExportHere();
  GoTo(5);
  wizard_->CloseClick();  // arrives before the run: closes at once
  EXPECT_THAT(host_.events, ElementsAre("close"));

  Open();
  ExportHere();
  GoTo(5);
  host_.events.clear();
  host_.onPump = [&] {
    host_.onPump = nullptr;
    wizard_->CloseClick();
  };
  wizard_->ExportClick();
  EXPECT_THAT(host_.events, ElementsAre("box : Der Vorgang ist fehlgeschlagen. (Fehler)", "close"));
  EXPECT_EQ(Count("Fertig!"), 0);
  EXPECT_EQ(wizard_->State().exportCaption, "Export starten");
  EXPECT_TRUE(wizard_->State().exportEnabled);
}

// --- Settings at closing -------------------------------------------------

TEST_F(ExportWizardTest, ClosingWithoutAnExportStoresWhatTheControlsShow) {
  registry_.Store("AttachFolderOption", "010001");
  registry_.Store("SelectExtensions", 1u);
  registry_.Store("ExtensionList", ".PDF;.ZIP;");
  testing::SetEnv("TROVEX_WIZARD_HOME", "/srv/anna");
  registry_.Store("AttachFolder", "%TROVEX_WIZARD_HOME%");
  Open().CloseClick();
  EXPECT_THAT(host_.events, ElementsAre("close"));
  const std::map<std::string, std::string> stored = {
      {"AttachFolderOption", "000001"}, {"AttachExportEmbedded", "0"}, {"AttachFolder", "/srv/anna\\"},
      {"SelectExtensions", "1"},        {"AttachFilenameOption", "00000"}, {"FilnamePrefix", ""},
      {"AttachNoOverwrite", "0"},       {"ExtensionList", ".PDF;.ZIP;"}};  // kept, though nothing ran
  for (const auto& [name, value] : stored) EXPECT_EQ(registry_.Stored(name), value) << name;
}

TEST_F(ExportWizardTest, ClosingAfterAnExportStoresItsExtensions) {
  registry_.Store("ExtensionList", ".ZIP;");
  root_.AddMail(MailWith("Erste", {"a.docx", "b.doc", "c.xlsx", "d.pdf"}));
  Open();
  ExportHere();
  wizard_->SetSelectExtensions(true);
  GoTo(2);
  wizard_->SetExtensionChecked(Entry(".zip"), false);
  wizard_->SetExtensionChecked(Entry(".xlsx"), true);
  wizard_->SetExtensionChecked(Entry(".doc"), true);
  GoTo(5);
  wizard_->ExportClick();
  EXPECT_EQ(registry_.Stored("ExtensionList"), ".ZIP;") << "the run's own save comes before its extensions";
  EXPECT_TRUE(std::filesystem::exists(temp_.path() / "b.doc"));
  EXPECT_TRUE(std::filesystem::exists(temp_.path() / "c.xlsx"));
  EXPECT_FALSE(std::filesystem::exists(temp_.path() / "a.docx")) << ".DOC does not take .DOCX";
  EXPECT_FALSE(std::filesystem::exists(temp_.path() / "d.pdf"));
  wizard_->CloseClick();
  EXPECT_EQ(registry_.Stored("ExtensionList"), ".DOC;.XLSX;");
}

}  // namespace
}  // namespace trovex::wizard
