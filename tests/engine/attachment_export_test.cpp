#include "engine/attachment_export.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "engine_fakes.h"
#include "outlook/mail_store.h"
#include "outlook/store_binding.h"
#include "testing/temp_dir.h"

namespace trovex::engine {
namespace {

namespace fs = std::filesystem;
using store::BytesContent;
using store::StoreAttachment;
using store::StoreFolder;
using store::StoreMail;
using testing::RecordingSink;
using testing::Unstamped;
using Lines = std::vector<std::string>;
using outlook::PR_ATTACH_CONTENT_ID_A;
using outlook::PR_ATTACH_CONTENT_ID_W;
using outlook::PR_ATTACH_FLAGS;
using outlook::PR_ATTACH_METHOD;

StoreAttachment Att(std::string name, std::map<std::uint32_t, outlook::PropertyValue> props = {}) {
  return StoreAttachment{.fileName = name, .properties = std::move(props), .content = BytesContent("Inhalt von " + name)};
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Counts existence checks on the way to the real file system.
class CountingFileSystem : public FileSystem {
 public:
  long fileChecks = 0;
  bool FileExists(const std::string& p) override { return ++fileChecks, RealFileSystem().FileExists(p); }
  bool DirectoryExists(const std::string& p) override { return RealFileSystem().DirectoryExists(p); }
  bool CreateDirectory(const std::string& p) override { return RealFileSystem().CreateDirectory(p); }
  void SetLastWriteTime(const std::string& p, double t) override { RealFileSystem().SetLastWriteTime(p, t); }
  std::string TemporaryFileName(const std::string& f) override { return RealFileSystem().TemporaryFileName(f); }
  void ReplaceFile(const std::string& from, const std::string& to) override { RealFileSystem().ReplaceFile(from, to); }
  bool RemoveFile(const std::string& p) override { return RealFileSystem().RemoveFile(p); }
};

class AttachmentExportTest : public ::testing::Test {
 protected:
  void SetUp() override { state_.strRootFolder = root_.string() + "\\"; }

  // Exports the attachments of `mail`, the only item of a folder.
  void Export(StoreMail mail) {
    mail.receivedTime = received_;
    StoreFolder folder{.name = "f"};
    folder.AddMail(std::move(mail));
    auto app = store::MakeStoreApplication(std::make_shared<const store::MailStore>(store::MailStore{.root = folder}));
    auto m = app->ActiveExplorer()->CurrentFolder()->GetItems()->GetItem(1)->QueryMailItem();
    auto record = ReadMailData(*m);
    ASSERT_TRUE(record);
    AttachmentExporter exporter(state_, report_, sink_, fs_, naming_, [this] { return choices_; }, chosen_);
    exporter.ExportAttachments(*m, *record);
  }

  std::vector<std::string> Written() const {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root_))
      if (e.is_regular_file()) out.push_back(fs::relative(e.path(), root_).string());
    std::sort(out.begin(), out.end());
    return out;
  }

  const trovex::testing::TempDir temp_{"trovex-attachments"};
  const fs::path& root_ = temp_.path();
  double received_ = CivilToOleDate({.year = 2023, .month = 7, .day = 14, .hour = 8, .minute = 30, .second = 15});
  ExportSettings choices_{.AttachFilenameOption = FileNameRule::OwnName, .AttachExportEmbedded = true};
  std::vector<std::string> chosen_;
  ExportRunState state_;
  RecordingSink sink_;
  ExportReport report_{sink_, testing::SteppingClock()};
  CountingFileSystem fs_;
  TargetNaming naming_{fs_};
};

TEST_F(AttachmentExportTest, WritesEachFileWithReportLinesLabelsAndTime) {
  StoreMail m{.subject = "Angebot"};
  m.attachments = {Att("Bericht.pdf"), Att("Foto.jpg")};
  Export(m);

  EXPECT_EQ(Written(), (Lines{"Bericht.pdf", "Foto.jpg"}));
  EXPECT_EQ(ReadFile(root_ / "Foto.jpg"), "Inhalt von Foto.jpg");
  EXPECT_EQ(state_.iCountExported, 2);
  const std::string folder = root_.string() + "\\";
  EXPECT_EQ(Unstamped(sink_.lines), (Lines{"@wird gespeichert unter:", folder + "Bericht.pdf",
                                           "@wird gespeichert unter:", folder + "Foto.jpg"}));
  EXPECT_EQ(sink_.targets.back(), (std::pair<std::string, std::string>{"Speicherort: " + folder, "Dateiname: Foto.jpg"}));

  // The mail's received time (local) is the file's modification time.
  struct stat st {};
  ASSERT_EQ(stat((root_ / "Bericht.pdf").c_str(), &st), 0);
  std::tm local{.tm_sec = 15, .tm_min = 30, .tm_hour = 8, .tm_mday = 14, .tm_mon = 6, .tm_year = 123, .tm_isdst = -1};
  EXPECT_EQ(st.st_mtime, std::mktime(&local));
}

TEST_F(AttachmentExportTest, ExtensionFilterIgnoresLetterCase) {
  choices_.SelectExtensions = true;
  chosen_ = {".PDF"};
  StoreMail m{.subject = "s"};
  m.attachments = {Att("Bericht.pdf"), Att("Anlage.PDF"), Att("README"), Att("Bild.pdf.png"),
                   Att("Preis \"<neu>\"|.pdf")};  // characters the naming replaces anyway
  Export(m);
  EXPECT_EQ(Written(), (Lines{"Anlage.PDF", "Bericht.pdf", "Preis __neu___.pdf"}));

  chosen_.clear();  // filter on, nothing chosen: nothing is written
  Export(m);
  EXPECT_EQ(state_.iCountExported, 3);
}

TEST_F(AttachmentExportTest, EmbeddedFilterReadsPropertiesInOrder) {
  choices_.AttachExportEmbedded = false;
  StoreMail m{.subject = "s"};
  m.attachments = {
      Att("cid8.png", {{PR_ATTACH_CONTENT_ID_A, std::string("img1@x")}}),           // shown in the body
      Att("cidW.png", {{PR_ATTACH_CONTENT_ID_W, std::string("img2@x")}}),           // same, Unicode form
      Att("leereCid.png", {{PR_ATTACH_CONTENT_ID_W, std::string("")}}),             // empty id decides nothing
      Att("versteckt.png", {{PR_ATTACH_FLAGS, 1}}),                                 // hidden from HTML view
      Att("flags4.png", {{PR_ATTACH_FLAGS, 4}}),                                    // other flags
      Att("ole.bin", {{PR_ATTACH_METHOD, outlook::ATTACH_OLE}}),                    // OLE object
      Att("Nachricht.eml", {{PR_ATTACH_METHOD, outlook::ATTACH_EMBEDDED_MSG}}),     // attached mail
      Att("ohne.pdf"),                                                              // carries nothing
  };
  Export(m);
  EXPECT_EQ(Written(), (Lines{"Nachricht.eml", "flags4.png", "leereCid.png", "ohne.pdf"}));
}

TEST_F(AttachmentExportTest, WithEmbeddedOnNoPropertyIsRead) {
  StoreMail m{.subject = "s"};
  m.attachments = {Att("bild.png")};
  m.attachments[0].faults["PropertyAccessor"] = "darf nicht gelesen werden";
  Export(m);
  EXPECT_EQ(Written(), (Lines{"bild.png"}));
}

TEST_F(AttachmentExportTest, ExtensionFolders) {
  choices_.AttachFolderOption = SubfolderRule::Extension;
  StoreMail m{.subject = "s"};
  m.attachments = {Att("scan.pdf"), Att("daten.tar.gz"), Att("README"), Att("bild.Jpeg"),
                   Att("x.\\..\\..\\flucht"),  // an "extension" that tries to climb
                   Att("ende.")};
  Export(m);
  EXPECT_EQ(Written(), (Lines{".GZ/daten.tar.gz", ".JPEG/bild.Jpeg", ".PDF/scan.pdf", "._FLUCHT/x._.._.._flucht",
                              "README", "ende"}));
}

TEST_F(AttachmentExportTest, SubjectFoldersNestButNeverClimb) {
  choices_.AttachFolderOption = SubfolderRule::Subject;
  StoreMail m{.subject = "..\\..\\Projekt\\Re: Angebot"};
  m.attachments = {Att("../../evil.sh"), Att(".."), Att("CON.txt")};
  Export(m);
  EXPECT_EQ(Written(), (Lines{"Projekt/Re_ Angebot/.._.._evil.sh", "Projekt/Re_ Angebot/Anhang",
                              "Projekt/Re_ Angebot/CON_.txt"}));
}

TEST_F(AttachmentExportTest, CounterOrReplace) {
  StoreMail m{.subject = "s"};
  m.attachments = {Att("scan.pdf"), Att("scan.pdf")};
  Export(m);  // counter off: the second replaces the first, both count
  EXPECT_EQ(Written(), (Lines{"scan.pdf"}));
  EXPECT_EQ(state_.iCountExported, 2);

  choices_.AttachNoOverwrite = true;
  Export(m);
  EXPECT_EQ(Written(), (Lines{"scan.pdf", "scan_1.pdf", "scan_2.pdf"}));
}

TEST_F(AttachmentExportTest, FolderThatCannotBeCreatedCostsOnlyThatAttachment) {
  choices_.AttachFolderOption = SubfolderRule::SenderName;
  std::ofstream(root_ / "Blockiert") << "a file where the folder should go";
  StoreMail m{.subject = "s", .senderName = "Blockiert"};
  m.attachments = {Att("a.pdf"), Att("b.pdf")};
  Export(m);
  const std::string folder = root_.string() + "\\Blockiert\\";
  EXPECT_THAT(Unstamped(sink_.lines), ::testing::ElementsAre("@wird gespeichert unter:", folder + "a.pdf",
                                                             "@Ordner konnte nicht erstellt werden: " + folder,
                                                             "@wird gespeichert unter:", folder + "b.pdf",
                                                             "@Ordner konnte nicht erstellt werden: " + folder));
  EXPECT_EQ(state_.iCountExported, 0);
}

TEST_F(AttachmentExportTest, FailingSaveEndsTheExportAfterFilesWrittenBefore) {
  StoreMail m{.subject = "s"};
  m.attachments = {Att("a.pdf"), Att("b.pdf"), Att("c.pdf")};
  m.attachments[1].faults["SaveAsFile"] = "Die Anlage kann nicht gespeichert werden.";
  EXPECT_THROW(Export(m), outlook::OutlookError);
  EXPECT_EQ(Written(), (Lines{"a.pdf"}));
  EXPECT_EQ(state_.iCountExported, 1);
}

TEST_F(AttachmentExportTest, LongNamesAreCutToWhatTheFileSystemTakes) {
  // 150 x "Ä" is 150 characters, under the cut at 180, but 300 bytes: more
  // than a Linux name may have. Such a mail used to end the whole run.
  std::string subject;
  for (int i = 0; i < 150; ++i) subject += "Ä";
  std::string fitted;  // 125 x "Ä": 250 bytes, leaving room for ".pdf"
  for (int i = 0; i < 125; ++i) fitted += "Ä";
  std::string folder;  // 127 x "Ä": 254 bytes
  for (int i = 0; i < 127; ++i) folder += "Ä";
  StoreMail m{.subject = subject};
  m.attachments = {Att("scan.pdf"), Att("brief.txt")};

  choices_.AttachFilenameOption = FileNameRule::Subject;
  Export(m);
  EXPECT_EQ(Written(), (Lines{fitted + ".pdf", fitted + ".txt"}));

  choices_.AttachFolderOption = SubfolderRule::Subject;
  Export(m);
  EXPECT_EQ(state_.iCountExported, 4);
  EXPECT_EQ(Written(), (Lines{fitted + ".pdf", fitted + ".txt", folder + "/" + fitted + ".pdf",
                              folder + "/" + fitted + ".txt"}));
}

// Writes part of the file, then fails as a full disk does.
class DiskFullContent final : public store::AttachmentContent {
 public:
  void WriteTo(const fs::path& file) const override {
    std::ofstream(file, std::ios::binary) << std::string(64 * 1024, 'x');
    throw std::system_error(ENOSPC, std::generic_category(), file.string());
  }
};

TEST_F(AttachmentExportTest, FailedSaveLeavesNoPartOfTheFile) {
  std::ofstream(root_ / "Angebot 5.pdf") << "vorher";
  StoreMail m{.subject = "s"};
  m.attachments = {Att("vorher.pdf"), Att("Angebot 5.pdf"), Att("Bericht.pdf")};
  m.attachments[1].content = std::make_shared<DiskFullContent>();
  m.attachments[2].content = std::make_shared<DiskFullContent>();

  // Counter off: the save that was to replace the file fails; the old file
  // stays as it was, and no temporary file is left behind.
  EXPECT_THROW(Export(m), outlook::OutlookError);
  EXPECT_EQ(Written(), (Lines{"Angebot 5.pdf", "vorher.pdf"}));
  EXPECT_EQ(ReadFile(root_ / "Angebot 5.pdf"), "vorher");

  // A new file that fails is not there at all.
  m.attachments.erase(m.attachments.begin(), m.attachments.begin() + 2);
  EXPECT_THROW(Export(m), outlook::OutlookError);
  EXPECT_EQ(Written(), (Lines{"Angebot 5.pdf", "vorher.pdf"}));
  EXPECT_EQ(state_.iCountExported, 1);
}

}  // namespace
}  // namespace trovex::engine
