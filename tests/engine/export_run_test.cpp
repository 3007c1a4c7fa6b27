#include "engine/export_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "engine_fakes.h"
#include "outlook/mail_store.h"
#include "outlook/store_binding.h"
#include "testing/temp_dir.h"

namespace trovex::engine {
namespace {

using store::StoreAttachment;
using store::StoreFolder;
using store::StoreMail;
using testing::Unstamped;
using Lines = std::vector<std::string>;

// Plays the wizard's last page.
class FakeFrontEnd : public ExportFrontEnd {
 public:
  ExportSettings choices{.AttachFilenameOption = FileNameRule::OwnName, .AttachExportEmbedded = true};
  std::vector<std::string> lines;
  std::vector<std::string> events;  // button, settings and summary, in order
  std::vector<std::string> summaries;
  bool answerYes = true;
  std::function<void()> onPump;

  ExportSettings CurrentChoices() override { return choices; }
  void SaveSettings() override { events.push_back("save"); }
  std::vector<std::string> BuildChosenExtensions() override { return {".PDF", ".ZIP"}; }
  void SetExportButton(const std::string& caption, bool enabled) override {
    events.push_back(caption + (enabled ? "" : " (aus)"));
  }
  bool ConfirmStop() override {
    events.push_back("frage");
    return answerYes;
  }
  void ShowSummary(const std::string& text) override {
    events.push_back("summary");
    summaries.push_back(text);
  }
  void AppendReportLine(const std::string& line) override { lines.push_back(line); }
  void SetProgressMax(int) override {}
  void SetProgressPosition(int) override {}
  void ShowTarget(const std::string&, const std::string&) override {}
  void ProcessPendingMessages() override {
    if (onPump) onPump();
  }
};

class ExportRunTest : public ::testing::Test {
 protected:
  void SetUp() override { ui_.choices.AttachFolder = exportDir_; }

  ExportRun& Run() {
    store_ = std::make_shared<store::MailStore>(store::MailStore{.root = root_});
    app_ = store::MakeStoreApplication(store_);
    explorer_ = app_->ActiveExplorer();
    run_ = std::make_unique<ExportRun>(ui_, *explorer_, RealFileSystem(), [] {
      return CivilTime{.year = 2026, .month = 12, .day = 9, .hour = 9, .minute = 5, .second = 3, .millisecond = 7};
    });
    return *run_;
  }

  const trovex::testing::TempDir temp_{"trovex-export-run"};
  const std::string exportDir_ = temp_.path().string();
  StoreFolder root_{.name = "Posteingang"};
  FakeFrontEnd ui_;
  std::shared_ptr<store::MailStore> store_;
  std::unique_ptr<outlook::Application> app_;
  std::unique_ptr<outlook::Explorer> explorer_;
  std::unique_ptr<ExportRun> run_;
};

const Lines kHeader = {std::string(36, '*'), "Trovex vom 09.12.2026", std::string(36, '*')};

Lines Concat(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(ExportRunTest, EmptyFolderGivesHeaderCountsAndSummary) {
  Run().ExportClick();
  EXPECT_EQ(ui_.lines, Concat(kHeader, {"0 zu überprüfende Mails...", "09:05:03.007: Posteingang (0) ",
                                        "09:05:03.007: Fertig!"}));
  EXPECT_EQ(ui_.events, (Lines{"Stopp", "save", "Export starten", "summary"}));
  EXPECT_EQ(ui_.summaries[0], "Der Export ist beendet.\n\nEs wurden insgesamt 0 Dateien exportiert.");
  EXPECT_EQ(run_->ExtensionText(), ".PDF;.ZIP;");
}

TEST_F(ExportRunTest, ExportFolderGetsOneTrailingBackslash) {
  Run().ExportClick();
  EXPECT_EQ(run_->State().strRootFolder, exportDir_ + "\\");
  ui_.choices.AttachFolder = "C:\\Export\\";
  run_->ExportClick();
  EXPECT_EQ(run_->State().strRootFolder, "C:\\Export\\");
  ui_.choices.AttachFolder = " D:\\Daten ";  // taken as it stands, not trimmed
  run_->ExportClick();
  EXPECT_EQ(run_->State().strRootFolder, " D:\\Daten \\");
}

TEST_F(ExportRunTest, CountsSubfoldersOnlyWhenIncluded) {
  root_.AddMail(StoreMail{.subject = "oben"});
  root_.AddFolder("Unter").AddMail(StoreMail{.subject = "unten"}).AddOther("t", "IPM.Appointment");
  ui_.choices.IncludeSubfolders = true;
  Run().ExportClick();
  EXPECT_THAT(ui_.lines, ::testing::Contains("3 zu überprüfende Mails..."));
  EXPECT_THAT(ui_.lines, ::testing::Contains("Unterordner: Unter"));
  EXPECT_EQ(run_->State().iCountChecked, 3);

  ui_.choices.IncludeSubfolders = false;
  ui_.lines.clear();
  run_->ExportClick();
  EXPECT_THAT(ui_.lines, ::testing::Contains("1 zu überprüfende Mails..."));
  EXPECT_THAT(ui_.lines, ::testing::Not(::testing::Contains("Unterordner: Unter")));
}

TEST_F(ExportRunTest, StopDuringTheFirstMailFinishesItAndSkipsTheRest) {
  StoreMail first{.subject = "erste"};
  first.attachments = {StoreAttachment{.fileName = "a.txt"}, StoreAttachment{.fileName = "b.txt"}};
  root_.AddMail(first).AddMail(StoreMail{.subject = "zweite"});
  root_.AddFolder("Unter").AddMail(StoreMail{.subject = "unten"});
  ui_.choices.IncludeSubfolders = true;
  // The click on "Stopp" arrives while the first mail's line is written.
  ui_.onPump = [&] {
    if (!ui_.lines.empty() && Unstamped({ui_.lines.back()})[0] == "@Mail \"erste\" vom 1899-12-30") {
      ui_.onPump = nullptr;
      run_->ExportClick();
    }
  };
  Run().ExportClick();

  const Lines body(ui_.lines.begin() + 5, ui_.lines.end());
  const std::string folder = exportDir_ + "\\";
  EXPECT_EQ(Unstamped(body), (Lines{"@Mail \"erste\" vom 1899-12-30", "@Abgebrochen...", "@wird gespeichert unter:",
                                    folder + "a.txt", "@wird gespeichert unter:", folder + "b.txt", "", "@Fertig!"}));
  EXPECT_EQ(ui_.events, (Lines{"Stopp", "save", "frage", "Stopp (aus)", "Export starten", "summary"}));
  EXPECT_EQ(ui_.summaries[0], "Der Export ist beendet.\n\nEs wurden insgesamt 2 Dateien exportiert.");
}

TEST_F(ExportRunTest, AnsweringNoLeavesTheRunGoing) {
  root_.AddMail(StoreMail{.subject = "eins"}).AddMail(StoreMail{.subject = "zwei"});
  ui_.answerYes = false;
  ui_.onPump = [&] {
    ui_.onPump = nullptr;
    run_->ExportClick();
  };
  Run().ExportClick();
  EXPECT_EQ(ui_.events, (Lines{"Stopp", "save", "frage", "Export starten", "summary"}));
  EXPECT_EQ(run_->State().iCountChecked, 2);
  EXPECT_THAT(Unstamped(ui_.lines), ::testing::Not(::testing::Contains("@Abgebrochen...")));
}

TEST_F(ExportRunTest, TwoRunsAppendToOneReport) {
  root_.AddMail(StoreMail{.subject = "eins"});
  Run().ExportClick();
  run_->ExportClick();
  const Lines once = Concat(kHeader, {"1 zu überprüfende Mails...", "@Posteingang (1) ",
                                      "@Mail \"eins\" vom 1899-12-30", "@hat keinen Anhang.", "@Fertig!"});
  EXPECT_EQ(Unstamped(ui_.lines), Concat(once, once));
  EXPECT_EQ(ui_.summaries.size(), 2u);
}

TEST_F(ExportRunTest, ErrorEndsTheRunKeepsItsLinesAndLeavesItIdle) {
  StoreMail bad{.subject = "kaputt"};
  bad.faults["Attachments"] = "Der Vorgang ist fehlgeschlagen.";
  root_.AddMail(bad);
  EXPECT_THROW(Run().ExportClick(), outlook::OutlookError);
  EXPECT_EQ(Unstamped(ui_.lines).back(), "@Mail \"kaputt\" vom 1899-12-30");
  EXPECT_EQ(ui_.events, (Lines{"Stopp", "save", "Export starten"}));  // no summary
  EXPECT_FALSE(run_->State().bExportStarted);
  EXPECT_FALSE(run_->State().bClickedCancel);

  // The next click starts a new run rather than asking to stop.
  root_.items.clear();
  EXPECT_THROW(run_->ExportClick(), outlook::OutlookError);  // same store, same fault
  EXPECT_EQ(std::count(ui_.events.begin(), ui_.events.end(), "frage"), 0);
}

TEST_F(ExportRunTest, ClickWhileTheRunEndsStartsNothing) {
  StoreMail mail{.subject = "eins"};
  mail.attachments = {StoreAttachment{.fileName = "a.txt"}, StoreAttachment{.fileName = "b.txt"}};
  root_.AddMail(mail);
  // The button is enabled again before "Fertig!" and the summary; a click
  // there, as the last lines let messages in, must not nest a run.
  int clicks = 0;
  ui_.onPump = [&] {
    if (!run_->State().bExportStarted && clicks++ < 3) run_->ExportClick();
  };
  Run().ExportClick();
  ui_.onPump = nullptr;

  EXPECT_GT(clicks, 0);  // the clicks did arrive
  EXPECT_EQ(std::count(ui_.lines.begin(), ui_.lines.end(), kHeader[1]), 1);
  EXPECT_EQ(ui_.events, (Lines{"Stopp", "save", "Export starten", "summary"}));
  EXPECT_EQ(ui_.summaries, (Lines{"Der Export ist beendet.\n\nEs wurden insgesamt 2 Dateien exportiert."}));

  // Once the run has returned, the next click starts the next run.
  run_->ExportClick();
  EXPECT_EQ(ui_.summaries.size(), 2u);
}

TEST_F(ExportRunTest, CounterRemembersNamesForOneRunOnly) {
  StoreMail mail{.subject = "eins"};
  mail.attachments = {StoreAttachment{.fileName = "a.pdf"}, StoreAttachment{.fileName = "a.pdf"},
                      StoreAttachment{.fileName = "a.pdf"}};
  root_.AddMail(mail);
  ui_.choices.AttachNoOverwrite = true;
  const auto written = [&] {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(exportDir_)) names.insert(e.path().filename().string());
    return names;
  };
  Run().ExportClick();
  EXPECT_EQ(written(), (std::set<std::string>{"a.pdf", "a_1.pdf", "a_2.pdf"}));

  // Between the runs the user deletes two of them: the next run takes the
  // first free numbers again.
  std::filesystem::remove(std::filesystem::path(exportDir_) / "a_1.pdf");
  std::filesystem::remove(std::filesystem::path(exportDir_) / "a_2.pdf");
  run_->ExportClick();
  EXPECT_EQ(written(), (std::set<std::string>{"a.pdf", "a_1.pdf", "a_2.pdf", "a_3.pdf"}));
}

}  // namespace
}  // namespace trovex::engine
