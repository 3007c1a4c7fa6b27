#include <gmime/gmime.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <variant>
#include <vector>

#include "outlook/posix/eml_reader.h"
#include "outlook/posix/mail_store_loader.h"
#include "outlook/store_binding.h"
#include "support/date_time.h"
#include "testing/base64.h"
#include "testing/temp_dir.h"

namespace trovex::store {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Lines = std::vector<std::string>;

using testing::Base64Lines;
using testing::TempDir;

const fs::path kCorpus = TROVEX_CORPUS_DIR;
const fs::path kSamples = fs::path(TROVEX_SOURCE_DIR) / "samples" / "mailstore";


// A literal that holds NUL bytes, without the terminating one.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool IsValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xe ? 3 : (c >> 3) == 0x1e ? 4 : 0;
    if (length == 0 || i + length > s.size()) return false;
    char32_t cp = length == 1 ? c : c & (0x7f >> length);
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(s[i + k]);
      if ((next & 0xc0) != 0x80) return false;
      cp = cp << 6 | (next & 0x3f);
    }
    const char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < minimum[length] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return false;
    i += length;
  }
  return true;
}

// "2024-03-05 23:30:00.000", local wall-clock time.
std::string Local(outlook::OleDate date) {
  const CivilTime t = OleDateToCivil(date);
  return FormatIsoDate(t) + " " + FormatStamp(t);
}

std::string Describe(const StoreAttachment& a) {
  std::string text = a.fileName;
  if (const auto it = a.properties.find(outlook::PR_ATTACH_METHOD); it != a.properties.end())
    text += " method=" + std::to_string(std::get<std::int32_t>(it->second));
  if (const auto it = a.properties.find(outlook::PR_ATTACH_CONTENT_ID_W); it != a.properties.end())
    text += " cid=" + std::get<std::string>(it->second);
  return text;
}

Lines Describe(const StoreMail& mail) {
  Lines lines;
  for (const auto& a : mail.attachments) lines.push_back(Describe(a));
  return lines;
}

class EmlReaderTest : public ::testing::Test {
 protected:
  // CTest sets the zone too; this keeps a direct run of the binary right.
  static void SetUpTestSuite() {
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
  }

  std::shared_ptr<const StoreMail> Read(const fs::path& file) { return reader_->Read(file); }

  TempDir dir_;
  std::shared_ptr<MailFileReader> reader_ = MakeEmlFileReader();
};

struct CorpusCase {
  const char* file;  // below the corpus directory
  const char* subject;
  const char* senderName;
  const char* senderEmail;
  const char* receivedBy;
  Lines attachments;
};

void PrintTo(const CorpusCase& c, std::ostream* os) { *os << c.file; }

class EmlReaderCorpusTest : public EmlReaderTest, public ::testing::WithParamInterface<CorpusCase> {};

TEST_P(EmlReaderCorpusTest, FieldsAndAttachments) {
  const CorpusCase& c = GetParam();
  const auto mail = Read(kCorpus / c.file);
  ASSERT_NE(mail, nullptr);
  EXPECT_EQ(mail->subject, c.subject);
  EXPECT_EQ(mail->senderName, c.senderName);
  EXPECT_EQ(mail->senderEmailAddress, c.senderEmail);
  EXPECT_EQ(mail->receivedByName, c.receivedBy);
  EXPECT_EQ(mail->receivedOnBehalfOfName, "");
  EXPECT_THAT(Describe(*mail), ElementsAreArray(c.attachments));
}

INSTANTIATE_TEST_SUITE_P(
    EmlCorpus, EmlReaderCorpusTest,
    ::testing::Values(
        // A nested message is one attachment, named by its own file name;
        // the attachments inside it are not the outer mail's.
        CorpusCase{"eml/tb-nestedMessages.eml",
                   "Attached message with attachments",
                   "Batman",
                   "bruce@wayne-enterprises.com",
                   "Heinz",
                   {"message1.eml method=5", "yellowPixel.png method=1"}},
        // Digest parts are nested messages without names: subject + ".eml",
        // "Nachricht.eml" when the subject is missing too. The digest's own
        // text parts are its body.
        CorpusCase{
            "eml/python-msg_02-digest.eml",
            "Ppp digest, Vol 1 #2 - 5 msgs",
            "ppp-request@zzz.org",
            "ppp-request@zzz.org",
            "ppp@zzz.org",
            {"[Ppp] testing #1.eml method=5", "Nachricht.eml method=5", "[Ppp] testing #3.eml method=5",
             "[Ppp] testing #4.eml method=5", "[Ppp] testing #5.eml method=5"}},
        // message/rfc822 in base64: GMime leaves it undecoded, it is still a
        // nested message named by the subject inside.
        CorpusCase{"eml/tb-rfc822_base64_attachment.eml",
                   "Base64-encoded message/rfc822 attachment",
                   "sender@test.invalid",
                   "sender@test.invalid",
                   "recipient@test.invalid",
                   {"Hi.eml method=5"}},
        // Inline image referenced by cid: an attachment carrying its Content-ID.
        CorpusCase{
            "eml/tb-html-embedded-image+attachment.eml",
            "10 plaintext + (HTML + embedded image) + attachment",
            "test@example.com",
            "test@example.com",
            "test@example.com",
            {"kigaaldcbanejcbi.png method=1 cid=part1.8C5E6A81.D0C1B91A@jorgk.com", "attach2.png method=1"}},
        // RFC 2231 name in ISO-8859-1, RFC 2047 subject.
        CorpusCase{"eml/stalwart-legacy-045-rfc2231.eml",
                   "Die Hasen und die Frösche",
                   "Doug Sauder",
                   "doug@penguin.example.com",
                   "Joe Blow",
                   {"HasenundFrösche.txt method=1 cid=Pine.LNX.4.21.0005191026120.8452@penguin.example.com"}},
        // Raw 8-bit Latin-1 in the file name and inside encoded words.
        CorpusCase{"eml/stalwart-legacy-016-raw8bit-name.eml",
                   "Die Hasen und die Frösche",
                   "Doug Sauder",
                   "dwsauder@example.com",
                   "Jürgen Schmürgen",
                   {"blueball.png method=1", "HasenundFrösche.txt method=1"}},
        // RFC 2047 encoded word (KOI8-R) as a file name; a single-part mail
        // whose only part is the attachment.
        CorpusCase{
            "eml/mime4j-russian-2047-name.eml", "A simple subject", "", "", "", {"Список.doc method=1"}},
        // Unnamed parts are numbered per mail with an extension from the
        // type; an empty name counts as none.
        CorpusCase{"maildir/built-permissive/.Archive.2024/new/1704103680.M1P4242.example",
                   "attachments without file names",
                   "Sender",
                   "sender@example.com",
                   "Receiver",
                   {"ATT00001.bin method=1", "ATT00002.pdf method=1", "ATT00003.bin method=1",
                    "ATT00004.png method=1 cid=unref@example.com", "only-in-content-type.png method=1",
                    "disp.bin method=1", "zero-bytes.dat method=1"}}),
    [](const ::testing::TestParamInfo<CorpusCase>& row) {
      std::string name = fs::path(row.param.file).stem().string();
      for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return name;
    });

TEST_F(EmlReaderTest, ReceivedTimeIsTheNewestReceivedStampInLocalTime) {
  // Every fixture file is dated 2024-08-15 10:00:00 UTC on disk.
  constexpr std::time_t kFileTime = 1723716000;
  const struct {
    const char* what;
    const char* headers;
    const char* expected;
  } cases[] = {
      {"topmost Received is the newest",
       "Received: by mx.example.org; Tue, 05 Mar 2024 22:30:00 +0000\n"
       "Received: from relay by mx.example.org; Tue, 05 Mar 2024 21:00:00 +0000\n"
       "Date: Tue, 05 Mar 2024 20:00:00 +0000\n",
       "2024-03-05 23:30:00.000"},
      {"date after the last semicolon, folded, on the night clocks go forward",
       "Received: from a (b; c) by d; id 1;\n\tSun, 31 Mar 2024 01:30:00 +0000\n"
       "Date: Sun, 31 Mar 2024 01:00:00 +0000\n",
       "2024-03-31 03:30:00.000"},
      {"Received without a date falls back to Date",
       "Received: from a by b with LMTP\nDate: Mon, 01 Jul 2024 12:00:00 +0200\n", "2024-07-01 12:00:00.000"},
      {"unparseable Received date falls back to Date",
       "Received: from a by b; gestern abend\nDate: Fri, 10 Feb 2023 09:47:20 -0500\n",
       "2023-02-10 15:47:20.000"},
      {"Date alone; UTC new year's eve is already next year in Berlin",
       "Date: Sun, 31 Dec 2023 23:30:00 +0000\n", "2024-01-01 00:30:00.000"},
      {"no date at all: the file's time", "Received: from a by b; kaputt\n", "2024-08-15 12:00:00.000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path file =
        dir_.Write(std::string(c.what) + ".eml", std::string(c.headers) + "Subject: t\n\nText\n");
    fs::last_write_time(file,
                        std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(kFileTime)));
    const auto mail = Read(file);
    ASSERT_NE(mail, nullptr);
    EXPECT_EQ(Local(mail->receivedTime), c.expected);
  }
}

// One rule decides what is a mail: GMime must build a message with at least
// one header field. Whatever the file holds, reading neither crashes nor
// throws, and every attachment of a mail can be written.
TEST_F(EmlReaderTest, MalformedFilesAreMailsOrNotButNeverFail) {
  const std::string png = Bytes("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x02\0\0\0");
  const struct {
    const char* name;
    std::string content;
    bool mail;
    size_t attachments;
  } cases[] = {
      {"empty.eml", "", false, 0},
      {"binary.eml", png + std::string(4000, '\0') + png, false, 0},
      {"text-without-header.eml", "Hallo,\ndas ist keine Mail.\n", false, 0},
      // Headers only, no blank line, no final newline.
      {"header-only.eml", "From: a@example.org\nSubject: Nur Kopf", true, 0},
      // The mbox separator line of a saved mail is skipped.
      {"mbox-line.eml",
       "From a@example.org Mon Jan  1 00:00:00 2024\nFrom: a@example.org\nSubject: mbox\n\nText\n", true, 0},
      // Cut off inside a base64 attachment: what was there is kept.
      {"truncated.eml",
       "From: a@example.org\nSubject: abgeschnitten\nContent-Type: multipart/mixed; boundary=x\n\n--x\n"
       "Content-Type: text/plain\n\nText\n--x\nContent-Type: application/pdf; name=a.pdf\n"
       "Content-Transfer-Encoding: base64\n\nJVBERi0xLjQKJ",
       true, 1},
      // A boundary that never comes.
      {"no-boundary.eml",
       "Subject: b\nContent-Type: multipart/mixed; boundary=nie\n\n--anders\nContent-Type: image/png\n\nxx\n",
       true, 0},
      // A NUL byte and raw 8-bit inside the header.
      {"nul-in-header.eml", Bytes("Subject: Null\0Byte \xff\xfe\nFrom: \xe4 <a@b.c>\n\nText\n"), true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto mail = Read(dir_.Write(c.name, c.content));
    ASSERT_EQ(mail != nullptr, c.mail);
    if (!mail) continue;
    EXPECT_EQ(mail->attachments.size(), c.attachments);
    EXPECT_TRUE(IsValidUtf8(mail->subject)) << mail->subject;
    EXPECT_TRUE(IsValidUtf8(mail->senderName)) << mail->senderName;
    for (const auto& a : mail->attachments) a.content->WriteTo(dir_.path() / "out");
  }
}

TEST_F(EmlReaderTest, UnreadableFileRaisesOutlookError) {
  const fs::path missing = dir_.path() / "weg.eml";
  EXPECT_THAT([&] { Read(missing); }, ::testing::ThrowsMessage<outlook::OutlookError>(
                                          "Die Datei \"" + missing.string() +
                                          "\" kann nicht gelesen werden: No such file or directory"));

  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file, so permissions cannot make one unreadable";
  const fs::path locked = dir_.Write("gesperrt.eml", "Subject: x\n\nx\n");
  fs::permissions(locked, fs::perms::none);
  EXPECT_THAT([&] { Read(locked); },
              ::testing::ThrowsMessage<outlook::OutlookError>(
                  "Die Datei \"" + locked.string() + "\" kann nicht gelesen werden: Permission denied"));
}

TEST_F(EmlReaderTest, WriteToDecodesEachTransferEncoding) {
  const std::string allBytes = [] {
    std::string s;
    for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
    return s;
  }();
  const auto mail = Read(dir_.Write("encodings.eml", R"uu(From: a@example.org
Subject: Kodierungen
MIME-Version: 1.0
Content-Type: multipart/mixed; boundary="grenze"

--grenze
Content-Type: text/plain; charset=utf-8

Text
--grenze
Content-Type: application/octet-stream; name="base64.bin"
Content-Transfer-Encoding: base64

AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4
OTo7PD0+P0BBQkNERUZHSElKS0xNTk9QUVJTVFVWV1hZWltcXV5fYGFiY2RlZmdoaWprbG1ub3Bx
cnN0dXZ3eHl6e3x9fn+AgYKDhIWGh4iJiouMjY6PkJGSk5SVlpeYmZqbnJ2en6ChoqOkpaanqKmq
q6ytrq+wsbKztLW2t7i5uru8vb6/wMHCw8TFxsfIycrLzM3Oz9DR0tPU1dbX2Nna29zd3t/g4eLj
5OXm5+jp6uvs7e7v8PHy8/T19vf4+fr7/P3+/w==
--grenze
Content-Type: text/plain; charset=utf-8; name="qp.txt"
Content-Transfer-Encoding: quoted-printable

Gr=C3=BC=C3=9Fe aus =
M=C3=BCnchen
Zeile 2=3D
--grenze
Content-Type: application/octet-stream; name="uu.bin"
Content-Transfer-Encoding: x-uuencode

begin 644 uu.bin
85')O=F5X``$"_O\@=75E;F-O9&4@Y/;\
`
end
--grenze
Content-Type: text/plain; charset=utf-8; name="8bit.txt"
Content-Transfer-Encoding: 8bit

Grüße, 8 Bit
--grenze--
)uu"));
  ASSERT_NE(mail, nullptr);
  const struct {
    const char* name;
    std::string bytes;
  } expected[] = {
      {"base64.bin", allBytes},
      {"qp.txt", "Grüße aus München\nZeile 2="},
      {"uu.bin", Bytes("Trovex\0\x01\x02\xfe\xff uuencode \xe4\xf6\xfc")},
      {"8bit.txt", "Grüße, 8 Bit"},
  };
  ASSERT_EQ(mail->attachments.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(mail->attachments[i].fileName, expected[i].name);
    const fs::path out = dir_.path() / expected[i].name;
    std::ofstream(out) << std::string(1000, 'x');  // replaced, not overwritten in place
    mail->attachments[i].content->WriteTo(out);
    EXPECT_EQ(ReadBytes(out), expected[i].bytes);
  }
}

// Base64 bodies as mailers really write them, and worse: the saved bytes
// must be what GMime's decoder makes of the whole body in one go.
TEST_F(EmlReaderTest, Base64DecodesAsGMimeDoes) {
  const auto encode = Base64Lines;

  std::string big;  // beyond one read chunk, so groups straddle the chunk border
  for (int i = 0; i < 300'000; ++i) big += static_cast<char>(i * 7 + i / 251);
  const struct {
    const char* what;
    std::string body;
  } cases[] = {
      {"76 per line, LF", encode("Trovex speichert Anh\xc3\xa4nge.", 76, "\n")},
      {"groups split across lines, CRLF", encode("abcdefghijklmnopqrstuvwxyz0123456789", 5, "\r\n")},
      {"one long line, no final line end", encode(big.substr(0, 5000), 100'000, "")},
      {"blanks and stray bytes inside groups", "VHJv dmV4\tIGV4!cG9y\x80" "dA==\n"},
      {"padding in the middle", "QQ==QUI=QUJD\nQUJDRA==\n"},
      {"missing padding", "QUJDRA\n"},
      {"only noise", "!!! ??? ***\n"},
      {"larger than a read chunk, 76 per line", encode(big, 76, "\r\n")},
      {"larger than a read chunk, 4097 per line", encode(big, 4097, "\n")},
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string boundary = "grenze-1234";
    const auto mail = Read(dir_.Write("b64-" + std::to_string(++index) + ".eml", "Subject: b\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"" +
                                                     boundary + "\"\n\n--" + boundary +
                                                     "\nContent-Type: application/octet-stream; name=\"a.bin\"\n"
                                                     "Content-Transfer-Encoding: base64\n\n" +
                                                     c.body + "\n--" + boundary + "--\n"));
    ASSERT_NE(mail, nullptr);
    ASSERT_EQ(mail->attachments.size(), 1U);
    // The parser hands the part its body without the line end before the boundary.
    std::string body = c.body;
    if (body.ends_with("\r\n")) body.resize(body.size() - 2);
    else if (body.ends_with('\n')) body.pop_back();
    std::string expected(body.size(), '\0');
    int state = 0;
    guint32 save = 0;
    expected.resize(g_mime_encoding_base64_decode_step(reinterpret_cast<const unsigned char*>(body.data()), body.size(),
                                                       reinterpret_cast<unsigned char*>(expected.data()), &state, &save));
    const fs::path out = dir_.path() / "a.bin";
    mail->attachments[0].content->WriteTo(out);
    EXPECT_EQ(ReadBytes(out), expected);
  }
}

TEST_F(EmlReaderTest, WriteToSamplePdfGivesTheWholeDocument) {
  // The sample's file uses CRLF line ends; the PDF inside is LF only.
  const auto mail = Read(kSamples / "Posteingang" / "2024-03-05 Angebot Druckerei.eml");
  ASSERT_NE(mail, nullptr);
  ASSERT_EQ(mail->attachments.size(), 1u);
  mail->attachments[0].content->WriteTo(dir_.path() / "angebot.pdf");
  const std::string pdf = ReadBytes(dir_.path() / "angebot.pdf");
  EXPECT_EQ(pdf.size(), 693u);
  EXPECT_THAT(pdf, StartsWith("%PDF-1.4\n1 0 obj\n"));
  EXPECT_TRUE(pdf.ends_with("startxref\n510\n%%EOF\n"));
  EXPECT_EQ(pdf.substr(510, 5), "xref\n");
}

TEST_F(EmlReaderTest, NestedMessageIsWrittenWholeWithTheSourceLineEnds) {
  const struct {
    fs::path file;
    bool crlf;
    const char* subject;
    Lines attachments;
  } cases[] = {
      {kSamples / "Posteingang" / "2024-09-02 WG Lieferverzug.eml",
       false,
       "Lieferverzug Auftrag 4711",
       {"Lieferschein_4711.txt method=1"}},
      {kCorpus / "eml" / "tb-testmsg-nested-apostrophe.eml", true, "why", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const auto mail = Read(c.file);
    ASSERT_NE(mail, nullptr);
    ASSERT_EQ(mail->attachments.size(), 1u);
    const fs::path out = dir_.path() / "nested.eml";
    mail->attachments[0].content->WriteTo(out);
    const std::string bytes = ReadBytes(out);
    size_t bareLf = 0, crlf = 0;
    for (size_t i = 0; i < bytes.size(); ++i)
      if (bytes[i] == '\n') ++(i > 0 && bytes[i - 1] == '\r' ? crlf : bareLf);
    EXPECT_EQ(c.crlf ? bareLf : crlf, 0u);

    const auto nested = MakeEmlFileReader()->Read(out);
    ASSERT_NE(nested, nullptr);
    EXPECT_EQ(nested->subject, c.subject);
    EXPECT_THAT(Describe(*nested), ElementsAreArray(c.attachments));
  }
}

TEST_F(EmlReaderTest, WriteToFailureIsSystemError) {
  const auto mail = Read(kCorpus / "eml" / "python-msg_07-gif.eml");
  ASSERT_NE(mail, nullptr);
  ASSERT_EQ(mail->attachments.size(), 1u);
  try {
    mail->attachments[0].content->WriteTo(dir_.path() / "fehlt" / "dingusfish.gif");
    ADD_FAILURE() << "no error";
  } catch (const std::system_error& e) {
    EXPECT_EQ(e.code(), std::errc::no_such_file_or_directory);
    EXPECT_THAT(e.what(), HasSubstr((dir_.path() / "fehlt" / "dingusfish.gif").string()));
  }
}

TEST_F(EmlReaderTest, RecentMailsAreParsedOnce) {
  const fs::path first = kCorpus / "eml" / "tb-nestedMessages.eml";
  const auto mail = Read(first);
  EXPECT_EQ(Read(first), mail);

  // Reading on pushes it out; it is parsed anew.
  for (const auto& entry : fs::directory_iterator(kCorpus / "eml"))
    if (entry.path().extension() == ".eml" && entry.path() != first) Read(entry.path());
  const auto again = Read(first);
  EXPECT_NE(again, mail);
  EXPECT_THAT(Describe(*again), ElementsAreArray(Describe(*mail)));
}

TEST_F(EmlReaderTest, AttachmentsOutliveTheCacheAndTheFile) {
  const fs::path file = dir_.Write("kurz.eml",
                                   "Subject: kurz\nContent-Type: multipart/mixed; boundary=g\n\n--g\n"
                                   "Content-Type: application/octet-stream; name=a.bin\n"
                                   "Content-Transfer-Encoding: base64\n\nSGFsbG8=\n--g--\n");
  const auto mail = Read(file);
  ASSERT_NE(mail, nullptr);
  for (int i = 0; i < 8; ++i) Read(dir_.Write("other" + std::to_string(i) + ".eml", "Subject: o\n\nx\n"));
  fs::remove(file);
  mail->attachments.at(0).content->WriteTo(dir_.path() / "a.bin");
  EXPECT_EQ(ReadBytes(dir_.path() / "a.bin"), "Hallo");
}

// Sizes at and past what 32-bit arithmetic holds. The body before the
// attachment is a hole, so the files take no disk space.
TEST_F(EmlReaderTest, MailFilesOfFourGibibytesAndMoreAreRead) {
  const std::string head =
      "Subject: sehr gross\nContent-Type: multipart/mixed; boundary=g\n\n--g\nContent-Type: text/plain\n\n";
  const std::string tail =
      "\n--g\nContent-Type: application/octet-stream; name=ende.bin\nContent-Transfer-Encoding: base64\n\n"
      "SGFsbG8=\n--g--\n";
  const struct {
    const char* name;
    std::uintmax_t size;
  } cases[] = {
      {"4-GiB-minus-1.eml", (std::uintmax_t{1} << 32) - 1},
      {"over-4-GiB.eml", (std::uintmax_t{1} << 32) + 4096 + 17},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = dir_.Write(c.name, head);
    {
      std::ofstream out(file, std::ios::binary | std::ios::in | std::ios::out);
      out.seekp(static_cast<std::streamoff>(c.size - tail.size()));
      out << tail;
    }
    ASSERT_EQ(fs::file_size(file), c.size);
    const auto mail = Read(file);
    ASSERT_NE(mail, nullptr);
    EXPECT_EQ(mail->subject, "sehr gross");
    ASSERT_EQ(mail->attachments.size(), 1u);
    EXPECT_EQ(mail->attachments[0].fileName, "ende.bin");
    mail->attachments[0].content->WriteTo(dir_.path() / "ende.bin");
    EXPECT_EQ(ReadBytes(dir_.path() / "ende.bin"), "Hallo");
  }
}

long RssKb() {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);)
    if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
  return -1;
}

// 12 MiB of bytes that do not repeat soon.
std::string LargeDocument() {
  std::string document(12 * 1024 * 1024, '\0');
  for (size_t i = 0; i < document.size(); ++i) document[i] = static_cast<char>((i * 2654435761u) >> 13);
  return document;
}

// A mail too large to read whole, with `document` as its one attachment.
fs::path WriteLargeMail(const fs::path& file, std::string_view document) {
  std::ofstream out(file, std::ios::binary);
  out << "Subject: Plan\r\nContent-Type: multipart/mixed; boundary=g\r\n\r\n--g\r\n"
         "Content-Type: text/plain\r\n\r\nAnbei der Plan.\r\n--g\r\n"
         "Content-Type: application/pdf; name=plan.pdf\r\nContent-Transfer-Encoding: base64\r\n\r\n";
  out << Base64Lines(document, 76, "\r\n");
  out << "--g--\r\n";
  return file;
}

// A mail too large to read whole is parsed from its file: holding it takes
// far less memory than its size, and its attachment still exports whole.
TEST_F(EmlReaderTest, LargeMailIsHeldWithoutItsBytesAndExportsWhole) {
  const std::string document = LargeDocument();
  const fs::path file = WriteLargeMail(dir_.path() / "gross.eml", document);
  const auto fileKb = static_cast<long>(fs::file_size(file) / 1024);

  const long before = RssKb();
  const auto mail = Read(file);
  const long held = RssKb() - before;
  ASSERT_NE(mail, nullptr);
  EXPECT_LT(held, fileKb / 4) << "KiB more while the mail is held";
  ASSERT_EQ(mail->attachments.size(), 1u);
  EXPECT_EQ(mail->attachments[0].fileName, "plan.pdf");
  mail->attachments[0].content->WriteTo(dir_.path() / "plan.pdf");
  EXPECT_TRUE(ReadBytes(dir_.path() / "plan.pdf") == document);
}

// The attachments of such a mail decode from its file; a file cut short in
// the meantime fails the save instead of giving a short attachment.
TEST_F(EmlReaderTest, MailFileCutShortAfterParsingFailsTheSave) {
  const fs::path file = WriteLargeMail(dir_.path() / "gross.eml", LargeDocument());
  const auto mail = Read(file);
  ASSERT_NE(mail, nullptr);
  ASSERT_EQ(mail->attachments.size(), 1u);
  fs::resize_file(file, fs::file_size(file) / 2);
  EXPECT_THROW(mail->attachments[0].content->WriteTo(dir_.path() / "plan.pdf"), std::system_error);
}

// The sample store as the export sees it through the object model.
// A reader told the order works ahead on a thread of its own; whatever the
// order of the requests, each gets what a plain reader gives.
TEST_F(EmlReaderTest, ReadingAheadGivesWhatReadingOnRequestGives) {
  std::vector<fs::path> files;
  for (int i = 0; i < 12; ++i) {
    files.push_back(dir_.Write(
        "m" + std::to_string(i) + ".eml",
        "Subject: Mail " + std::to_string(i) + "\nContent-Type: multipart/mixed; boundary=g\n\n--g\n"
        "Content-Type: application/octet-stream; name=a" + std::to_string(i) + ".bin\n"
        "Content-Transfer-Encoding: base64\n\nSGFsbG8g" + std::string(1, "ABCDEFGHIJKL"[i]) + "w==\n--g--\n"));
  }
  files.insert(files.begin() + 5, dir_.Write("keine-mail.eml", ""));
  const std::vector<std::vector<size_t>> requests = {
      {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},     // the export's order
      {12, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},  // the preview's last mail first
      {12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0},
      {0, 7, 1, 8, 2, 2, 2, 9, 3, 12, 4, 0},
  };
  for (const auto& sequence : requests) {
    const auto ahead = MakeEmlFileReader(files);
    for (const size_t i : sequence) {
      SCOPED_TRACE(files[i].filename().string());
      const auto mail = ahead->Read(files[i]);
      const auto plain = MakeEmlFileReader()->Read(files[i]);
      ASSERT_EQ(mail == nullptr, plain == nullptr);
      if (!mail) continue;
      EXPECT_THAT(Describe(*mail), ElementsAreArray(Describe(*plain)));
      const fs::path out = dir_.path() / "out.bin", plainOut = dir_.path() / "plain.bin";
      mail->attachments.at(0).content->WriteTo(out);
      plain->attachments.at(0).content->WriteTo(plainOut);
      EXPECT_THAT(ReadBytes(out), StartsWith("Hallo "));
      EXPECT_EQ(ReadBytes(out), ReadBytes(plainOut));
    }
  }
}

// Mails asked for outside the guessed order are held only while they are
// among the few most recent or wait to be freed, however many there are.
TEST_F(EmlReaderTest, MailsReadOutsideTheOrderAreNotHeld) {
  const auto reader =
      MakeEmlFileReader({dir_.Write("a.eml", "Subject: a\n\nx\n"), dir_.Write("b.eml", "Subject: b\n\nx\n")}, 1);
  std::vector<std::weak_ptr<const StoreMail>> read;
  for (int i = 0; i < 40; ++i)
    read.push_back(reader->Read(dir_.Write("x" + std::to_string(i) + ".eml", "Subject: x\n\nx\n")));
  const auto held = std::count_if(read.begin(), read.end(), [](const auto& mail) { return !mail.expired(); });
  EXPECT_LT(held, 20);
}

TEST_F(EmlReaderTest, AFailureFoundAheadIsRaisedWhenAskedAndNotKept) {
  const fs::path first = dir_.Write("1.eml", "Subject: eins\n\nx\n");
  const fs::path second = dir_.path() / "2.eml";
  fs::create_directory(second);  // a mail file that cannot be read
  const auto reader = MakeEmlFileReader({first, second, dir_.Write("3.eml", "Subject: drei\n\nx\n")});

  EXPECT_EQ(reader->Read(first)->subject, "eins");
  try {
    reader->Read(second);
    ADD_FAILURE() << "no error";
  } catch (const outlook::OutlookError& e) {
    EXPECT_THAT(e.what(), HasSubstr("2.eml"));
  }
  fs::remove(second);
  dir_.Write("2.eml", "Subject: zwei\n\nx\n");
  EXPECT_EQ(reader->Read(second)->subject, "zwei");
}

TEST(MailStoreSampleTest, MailsThroughTheObjectModel) {
  ::setenv("TZ", "Europe/Berlin", 1);
  ::tzset();
  const TempDir out;
  auto store = std::make_shared<const MailStore>(LoadMailStore(kSamples));
  // A line per folder, mail ("subject | sender | recipient | received")
  // and attachment ("name [method] cid=...").
  std::string text = "\n";
  int saved = 0;
  const auto walk = [&](auto&& self, outlook::Folder& folder, const std::string& path) -> void {
    text += path + "\n";
    const auto items = folder.GetItems();
    for (int i = 1; i <= items->Count(); ++i) {
      const auto mail = items->GetItem(i)->QueryMailItem();
      if (!mail) {
        text += "  (keine Mail)\n";
        continue;
      }
      text += "  " + mail->Subject() + " | " + mail->SenderName() + " <" + mail->SenderEmailAddress() +
              "> | " + mail->ReceivedByName() + " | " + Local(mail->ReceivedTime()).substr(0, 16) + "\n";
      const auto attachments = mail->GetAttachments();
      for (int k = 1; k <= attachments->Count(); ++k) {
        const auto a = attachments->Item(k);
        const auto properties = a->GetPropertyAccessor();
        const auto property = [&](std::uint32_t tag) {
          return properties->GetProperty(outlook::PropTagSchemaName(tag));
        };
        text += "    " + a->FileName() + " [" +
                std::to_string(std::get<std::int32_t>(property(outlook::PR_ATTACH_METHOD))) + "]";
        try {
          text += " cid=" + std::get<std::string>(property(outlook::PR_ATTACH_CONTENT_ID_A));
        } catch (const outlook::OutlookError&) {
        }
        text += "\n";
        EXPECT_THROW(property(outlook::PR_ATTACH_FLAGS), outlook::OutlookError);
        const fs::path target = out.path() / std::to_string(++saved);
        a->SaveAsFile(target.string());
        EXPECT_GT(fs::file_size(target), 0u) << a->FileName();
      }
    }
    const auto folders = folder.GetFolders();
    for (int i = 1; i <= folders->Count(); ++i) {
      const auto sub = folders->GetItem(i);
      self(self, *sub, path + "/" + sub->Name());
    }
  };
  const auto root = MakeStoreApplication(store)->ActiveExplorer()->CurrentFolder();
  walk(walk, *root, root->Name());

  EXPECT_EQ(text, R"(
mailstore
  Jahresauftakt 2025 – Termine und Ziele | Jörg Weiß <geschaeftsfuehrung@muster-handel.de> | Alle Mitarbeiter | 2025-01-08 08:02
  Einladung: Quartalsgespräch Q1 | Thomas Becker <thomas.becker@muster-handel.de> | Anna Schmidt | 2025-02-03 09:15
    ATT00001.ics [1]
mailstore/Kalender
  (keine Mail)
  (keine Mail)
mailstore/Posteingang
  Angebot 2024-0117 Visitenkarten | Lindner, Petra <vertrieb@druckerei-lindner.de> | Anna Schmidt | 2024-03-05 09:14
    Angebot_2024-0117.pdf [1]
  Bitte um Rückruf | Empfang <empfang@muster-handel.de> | anna.schmidt@muster-handel.de | 2024-03-07 11:42
  Frühjahrsmesse 2024: Anmeldung für Aussteller | Messe Stuttgart Frühjahrsmesse <newsletter@messe-stuttgart.example> | Anna Schmidt | 2024-04-12 14:30
    messe-logo.png [1] cid=logo-messe@muster-handel.de
    Anmeldeformular.pdf [1]
  Präsentation für den Quartalsbericht | Michael Krüger <m.krueger@muster-handel.de> | Anna Schmidt | 2024-06-20 16:05
    Präsentation März.pdf [1]
  WG: Lieferverzug Auftrag 4711 | Einkauf <einkauf@muster-handel.de> | Anna Schmidt | 2024-09-02 10:20
    Lieferverzug Auftrag 4711.eml [5]
mailstore/Posteingang/Projekte
  Vertragsentwurf Wartungsvertrag, Version 2 | Dr. Sabine Hoffmann <recht@kanzlei-hoffmann.example> | Anna Schmidt | 2024-10-15 13:02
    Vertragsentwurf_v2.docx [1]
  Bautagebuch KW 45 | Bauleitung Richter <bauleitung@bau-richter.example> | Anna Schmidt | 2024-11-04 07:58
    Baustelle_KW45.zip [1]
  Protokolle der Projektrunden | projektbuero@muster-handel.de <projektbuero@muster-handel.de> | Anna Schmidt | 2025-01-20 17:31
    Protokoll.txt [1]
    Protokoll.txt [1]
mailstore/Posteingang/Projekte/Archiv
  Rahmenvertrag 2023 zur Unterschrift | Koch Logistik Vertrieb <vertrieb@koch-logistik.example> | Anna Schmidt | 2023-02-10 15:47
    Rahmenvertrag_2023.pdf [1]
  Rechnung RE-2023-0412 | Koch Logistik Buchhaltung <buchhaltung@koch-logistik.example> | Anna Schmidt | 2023-05-22 08:12
    Rechnung_RE-2023-0412.pdf [1]
)");
}

// Every real-world file: reading never throws, all text is UTF-8 and every
// attachment can be written.
TEST(MailStoreSmokeTest, EveryCorpusFileReadsAndSaves) {
  const TempDir out;
  const auto reader = MakeEmlFileReader();
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(kCorpus / "eml"))
    if (entry.is_regular_file() && entry.path().extension() == ".eml") files.push_back(entry.path());
  for (const auto& entry : fs::recursive_directory_iterator(kCorpus / "maildir"))
    if (entry.is_regular_file() && entry.path().parent_path().filename() != "tmp" &&
        (entry.path().parent_path().filename() == "cur" || entry.path().parent_path().filename() == "new"))
      files.push_back(entry.path());
  ASSERT_GE(files.size(), 71u + 9u);

  int mails = 0;
  for (const auto& file : files) {
    SCOPED_TRACE(file);
    std::shared_ptr<const StoreMail> mail;
    ASSERT_NO_THROW(mail = reader->Read(file));
    if (!mail) continue;
    ++mails;
    for (const std::string* text : {&mail->subject, &mail->senderName, &mail->senderEmailAddress,
                                    &mail->receivedByName, &mail->receivedOnBehalfOfName})
      EXPECT_TRUE(IsValidUtf8(*text)) << *text;
    EXPECT_GT(mail->receivedTime, CivilToOleDate({.year = 1990, .month = 1, .day = 1}));
    int index = 0;
    for (const auto& a : mail->attachments) {
      EXPECT_TRUE(IsValidUtf8(a.fileName)) << a.fileName;
      EXPECT_FALSE(a.fileName.empty());
      EXPECT_NO_THROW(a.content->WriteTo(out.path() / std::to_string(++index)));
    }
  }
  EXPECT_EQ(mails, static_cast<int>(files.size()));
}

}  // namespace
}  // namespace trovex::store
