// The CLI's terminal front end driven in-process, where a test can decide
// the moment at which Ctrl-C arrives.
#include "terminal_front_end.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "outlook/mail_store.h"
#include "outlook/store_binding.h"
#include "support/file_system.h"
#include "testing/temp_dir.h"

namespace trovex::cli {
namespace {

namespace fs = std::filesystem;

TEST(TerminalText, ShowsControlCharactersEscaped) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"Angebot März", "Angebot März"},                                           // text stays
      {"\x1b]0;pwned\x07\x1b[2K\x1b[1A", "\\x1b]0;pwned\\x07\\x1b[2K\\x1b[1A"},   // retitle, erase, cursor up
      {"a\tb\r\nc\x7f", "a\\x09b\\x0d\\x0ac\\x7f"},                               // every C0 control and DEL
      {"\xc2\x9b" "2J \xc2\x85 \xc2\xa0", "\\u009b2J \\u0085 \xc2\xa0"},          // C1 (CSI, NEL); U+00A0 stays
      {"kaputt\xff\xc2", "kaputt\\xff\\xc2"},                                     // bytes that are no UTF-8
      {"C:\\Export\\x1b", "C:\\Export\\x1b"},                                     // backslashes as written
  };
  for (const auto& c : cases) EXPECT_EQ(TerminalText(c.in), c.out) << c.out;
}

// Reading a mail file raises the flag, as a Ctrl-C during a slow read does;
// the file then turns out to hold no mail.
class InterruptingReader final : public store::MailFileReader {
 public:
  explicit InterruptingReader(volatile std::sig_atomic_t& flag) : flag_(flag) {}
  std::shared_ptr<const store::StoreMail> Read(const fs::path&) override {
    flag_ = 1;
    return nullptr;
  }

 private:
  volatile std::sig_atomic_t& flag_;
};

std::string Contents(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
  return text;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(TerminalFrontEnd, CtrlCAfterTheLastMailStartsNoSecondRun) {
  const testing::TempDir dir("cli-front-end");
  volatile std::sig_atomic_t interrupted = 0;
  store::StoreMail mail{.subject = "Angebot"};
  mail.attachments = {store::StoreAttachment{.fileName = "x.pdf", .content = store::BytesContent("pdf")}};
  store::MailStore mailStore{.root = {.name = "Posteingang"},
                             .reader = std::make_shared<InterruptingReader>(interrupted)};
  mailStore.root.AddMail(mail);
  // The last item: Ctrl-C comes while it is read, after the last chance to
  // stop, and the run writes its last lines.
  mailStore.root.items.push_back({.name = "zuletzt.eml", .messageClass = "IPM.Note", .file = dir.path() / "z.eml"});
  const auto app = store::MakeStoreApplication(std::make_shared<store::MailStore>(mailStore));
  const auto explorer = app->ActiveExplorer();

  FileRegistry registry((dir.path() / "registry.reg").string());
  engine::ExportSettings choices{.AttachFolder = (dir.path() / "out").string(),
                                 .AttachFilenameOption = engine::FileNameRule::OwnName,
                                 .AttachNoOverwrite = true,
                                 .AttachExportEmbedded = true};
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  ASSERT_TRUE(out && err);
  {
    TerminalFrontEnd ui(choices, registry, interrupted, out, err);
    engine::ExportRun run(ui, *explorer, RealFileSystem());
    ui.Attach(run);
    run.ExportClick();
    EXPECT_FALSE(ui.StopRequested());  // nothing was left to stop
  }
  const std::string report = Contents(out);
  std::fclose(out);
  std::fclose(err);

  EXPECT_EQ(interrupted, 1);
  EXPECT_EQ(Count(report, "Trovex vom "), 1u) << report;
  EXPECT_EQ(Count(report, "Der Export ist beendet."), 1u) << report;
  EXPECT_THAT(report, ::testing::HasSubstr("Es wurden insgesamt 1 Dateien exportiert."));
  std::set<std::string> written;
  for (const auto& e : fs::directory_iterator(dir.path() / "out")) written.insert(e.path().filename().string());
  EXPECT_EQ(written, std::set<std::string>{"x.pdf"});
}

}  // namespace
}  // namespace trovex::cli
