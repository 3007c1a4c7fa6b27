// A whole export as in Outlook: the engine walks the host's Outlook over the
// Outlook binding (IDispatch by name) and writes through the Windows file
// system. What lands on disk, with which times, and that every Outlook
// object was released again.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/export_run.h"
#include "host/outlook_host.h"
#include "host/scratch_folder.h"
#include "outlook/win32/outlook_binding.h"
#include "support/file_system.h"
#include "support/win32/wide_string.h"
#include "support/win32/win32_handles.h"

namespace trovex::wine_tests {
namespace {

using store::StoreMail;

// Plays the wizard's last page.
class FrontEnd final : public engine::ExportFrontEnd {
 public:
  engine::ExportSettings choices;
  std::vector<std::string> lines;
  std::vector<std::string> summaries;

  engine::ExportSettings CurrentChoices() override { return choices; }
  void SaveSettings() override {}
  std::vector<std::string> BuildChosenExtensions() override { return {}; }
  void SetExportButton(const std::string&, bool) override {}
  bool ConfirmStop() override { return false; }
  void ShowSummary(const std::string& text) override { summaries.push_back(text); }
  void AppendReportLine(const std::string& line) override { lines.push_back(line); }
  void SetProgressMax(int) override {}
  void SetProgressPosition(int) override {}
  void ShowTarget(const std::string&, const std::string&) override {}
  void ProcessPendingMessages() override {}
};

double OleDate(WORD year, WORD month, WORD day, WORD hour, WORD minute) {
  SYSTEMTIME t{};
  t.wYear = year;
  t.wMonth = month;
  t.wDay = day;
  t.wHour = hour;
  t.wMinute = minute;
  double date = 0;
  ::SystemTimeToVariantTime(&t, &date);
  return date;
}

// The local received time as the file system's UTC, by the zone's rule for
// that date.
ULONGLONG ExpectedFileTime(double localOleDate) {
  SYSTEMTIME local{};
  SYSTEMTIME utc{};
  FILETIME ft{};
  if (!::VariantTimeToSystemTime(localOleDate, &local) || !::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) ||
      !::SystemTimeToFileTime(&utc, &ft))
    ADD_FAILURE() << "cannot convert " << localOleDate;
  return (ULONGLONG{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
}

ULONGLONG LastWriteTime(const std::filesystem::path& file) {
  const win32::unique_hfile h(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  FILETIME written{};
  if (!h || !::GetFileTime(h.Get(), nullptr, nullptr, &written)) return 0;
  return (ULONGLONG{written.dwHighDateTime} << 32) | written.dwLowDateTime;
}

std::string Content(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

store::StoreAttachment File(std::string name, std::string bytes) {
  return {.fileName = std::move(name), .content = store::BytesContent(std::move(bytes))};
}

class ExportThroughBindingTest : public testing::Test {
 protected:
  wine_host::ScratchFolder scratch_{"trovex-export-Anhänge"};
  const std::filesystem::path dir_ = scratch_.Native();
};

TEST_F(ExportThroughBindingTest, WritesEveryAttachmentWithItsMailsReceivedTime) {
  // Winter and summer time, so the zone's rule for each date counts.
  const double march = OleDate(2024, 3, 5, 10, 30);
  const double june = OleDate(2024, 6, 20, 14, 15);
  const double october = OleDate(2024, 10, 15, 8, 0);
  auto s = std::make_shared<store::MailStore>();
  s->root.name = "Posteingang";
  s->root.AddMail({.subject = "Angebot Druckerei",
                   .senderName = "Druckerei Huber",
                   .senderEmailAddress = "info@huber.example",
                   .receivedTime = march,
                   .attachments = {File("angebot.pdf", "%PDF-1.4 Angebot"), File("preise.xlsx", "PK Preise")}});
  s->root.AddOther("Quartalsgespräch", "IPM.Appointment");
  s->root.AddMail({.subject = "Präsentation März", .receivedTime = june,
                   .attachments = {File("Folien für März.pptx", "PK Folien")}});
  s->root.AddFolder("Projekte").AddMail(
      {.subject = "Vertragsentwurf", .receivedTime = october, .attachments = {File("vertrag.docx", "PK Vertrag")}});

  wine_host::OutlookHost host(s);
  FrontEnd ui;
  ui.choices = {.AttachFolder = win32::Utf8FromWide(dir_.wstring()),
                .AttachFolderOption = engine::SubfolderRule::ReceivedMonth,
                .AttachFilenameOption = engine::FileNameRule::OwnName,
                .AttachExportEmbedded = true,
                .IncludeSubfolders = true};
  {
    const std::unique_ptr<outlook::Application> app = outlook::MakeOutlookApplication(host.Application());
    const std::unique_ptr<outlook::Explorer> explorer = app->ActiveExplorer();
    engine::ExportRun run(ui, *explorer, RealFileSystem());
    run.ExportClick();
    EXPECT_EQ(4, run.State().iCountExported);
  }
  // Nothing of Outlook is kept once the run and the binding are gone.
  EXPECT_EQ(0, host.ReferencesHeld());
  EXPECT_EQ(1, host.LiveObjects());

  const struct {
    const wchar_t* file;
    const char* content;
    double received;
  } cases[] = {
      // Two attachments of one mail, into its received month.
      {L"2024-03\\angebot.pdf", "%PDF-1.4 Angebot", march},
      {L"2024-03\\preise.xlsx", "PK Preise", march},
      // A non-ASCII name, in summer time.
      {L"2024-06\\Folien für März.pptx", "PK Folien", june},
      // From the subfolder.
      {L"2024-10\\vertrag.docx", "PK Vertrag", october},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(win32::Utf8FromWide(c.file));
    const std::filesystem::path file = dir_ / c.file;
    ASSERT_TRUE(std::filesystem::is_regular_file(file));
    EXPECT_EQ(c.content, Content(file));
    EXPECT_EQ(ExpectedFileTime(c.received), LastWriteTime(file));
  }
  size_t files = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir_)) files += e.is_regular_file() ? 1 : 0;
  EXPECT_EQ(4u, files);
  EXPECT_THAT(ui.lines, testing::Contains(testing::EndsWith(": Fertig!")));
  ASSERT_EQ(1u, ui.summaries.size());
  EXPECT_EQ("Der Export ist beendet.\n\nEs wurden insgesamt 4 Dateien exportiert.", ui.summaries[0]);
}

}  // namespace
}  // namespace trovex::wine_tests
