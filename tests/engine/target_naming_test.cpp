#include "engine/target_naming.h"

#include <gtest/gtest.h>

#include "testing/fake_file_system.h"

namespace trovex::engine {
namespace {

using trovex::testing::FakeFileSystem;

TMailData Mail() {
  TMailData m;
  m.SenderName = "Erika Muster";
  m.SenderMail = "erika@example.com";
  m.ReceiverName = "Max Mustermann";
  m.Subject = "Angebot";
  m.ReceivedTime = CivilToOleDate({.year = 2024, .month = 3, .day = 5, .hour = 14});
  return m;
}

CivilTime Today() { return {.year = 2026, .month = 12, .day = 9}; }

TEST(SanitizeName, FolderAndFileRules) {
  struct Case {
    std::string in;
    bool forFolder;
    std::string out;
  };
  const Case cases[] = {
      {"Re: Angebot", true, "Re_ Angebot"},                     // colon replaced
      {"a\"b*c/d<e>f?g|h\ti", false, "a_b_c_d_e_f_g_h_i"},      // the whole character set
      {"Projekt\\Angebot", true, "Projekt\\Angebot"},           // backslash nests folders
      {"Projekt\\Angebot", false, "Projekt_Angebot"},           // but not in a file name
      {"Ende...", true, "Ende"},                                // trailing dots go
      {" . . . ", true, ""},                                    // dots and blanks only: no folder
      {"  Bericht.pdf \r\n", false, "Bericht.pdf"},             // surrounding blanks and controls
      {"..\\..\\etc", true, "etc"},                             // never climbs
      {"a\\..\\b\\.\\c", true, "a\\b\\c"},                      // dot segments vanish inside too
      {"\\\\server\\share", true, "server\\share"},             // no root, no UNC
      {"a\\\\b\\", true, "a\\b"},                               // empty segments vanish
      {"Akte. \\Teil", true, "Akte\\Teil"},                     // no segment ends in dot or blank
      {"..", false, ""},                                        // nothing usable left
      {"CON", true, "CON_"},                                    // device names
      {"nul.txt", false, "nul_.txt"},
      {"Com7.tar.gz", false, "Com7_.tar.gz"},
      {"COM0.txt", false, "COM0.txt"},                          // not a device
      {"CONSOLE.txt", false, "CONSOLE.txt"},
      {"Bell\x07Zeichen", false, "Bell_Zeichen"},               // control characters
  };
  for (const auto& c : cases) EXPECT_EQ(SanitizeName(c.in, c.forFolder), c.out) << c.in;
}

TEST(SanitizeName, CapsFileNamesAt180CodePoints) {
  const std::string longAscii = std::string(200, 'x') + ".pdf";
  EXPECT_EQ(SanitizeName(longAscii, false), std::string(180, 'x'));  // the cut may remove the extension
  std::string umlauts;
  for (int i = 0; i < 200; ++i) umlauts += "ä";
  // 180 two-byte characters, no split sequence (on a file system that
  // takes names that long)
  const std::string cut = SanitizeName(umlauts, false, {LengthUnit::Utf8Bytes, 1000});
  EXPECT_EQ(cut.size(), 360u);
  EXPECT_EQ(SanitizeName(longAscii, true), longAscii);  // folders are not capped
  // A cut that ends in a blank or a dot does not leave it behind.
  EXPECT_EQ(SanitizeName(std::string(179, 'y') + " tail", false), std::string(179, 'y'));
}

std::string Repeat(std::string_view s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// Each segment fits the file system's limit for one name, after the cut at
// 180 characters: Linux counts bytes, Windows UTF-16 units.
TEST(SanitizeName, FitsEverySegmentToTheFileSystemsLimit) {
  constexpr NameLimit kLinux{LengthUnit::Utf8Bytes, 255};
  constexpr NameLimit kWindows{LengthUnit::Utf16Units, 255};
  const std::string clip = "\xF0\x9F\x93\x8E";  // U+1F4CE, a surrogate pair on Windows
  const struct {
    std::string in;
    bool forFolder;
    NameLimit limit;
    std::string out;
  } cases[] = {
      // 150 x "Ä": 300 bytes, 150 units.
      {Repeat("Ä", 150) + "_scan.pdf", false, kLinux, Repeat("Ä", 125) + ".pdf"},
      {Repeat("Ä", 150) + "_scan.pdf", false, kWindows, Repeat("Ä", 150) + "_scan.pdf"},
      // 130 x U+1F4CE: 269 units with "_scan.pdf", and 529 bytes.
      {Repeat(clip, 130) + "_scan.pdf", false, kWindows, Repeat(clip, 125) + ".pdf"},
      {Repeat(clip, 130) + "_scan.pdf", false, kLinux, Repeat(clip, 62) + ".pdf"},
      // The 180-character cut comes first and may take the extension.
      {Repeat("Ä", 200) + ".pdf", false, kLinux, Repeat("Ä", 127)},
      // An extension too long to keep: the name's end goes.
      {"a." + Repeat("é", 200), false, kLinux, "a." + Repeat("é", 126)},
      {"ab." + Repeat("e", 300), false, kWindows, "ab." + Repeat("e", 177)},  // the 180 cut alone
      // Folders: every segment on its own, cut at its end.
      {Repeat("Ä", 150) + "\\" + Repeat(clip, 70), true, kLinux, Repeat("Ä", 127) + "\\" + Repeat(clip, 63)},
      {Repeat(clip, 130) + "\\kurz", true, kWindows, Repeat(clip, 127) + "\\kurz"},
      {Repeat("x", 254) + " y", true, kLinux, Repeat("x", 254)},  // no trailing blank after the cut
  };
  for (const auto& c : cases) {
    const std::string out = SanitizeName(c.in, c.forFolder, c.limit);
    EXPECT_EQ(out, c.out) << c.in;
  }
}

TEST(ExtensionOf, FromTheLastDot) {
  EXPECT_EQ(ExtensionOf("Bericht.final.PDF"), ".PDF");
  EXPECT_EQ(ExtensionOf("README"), "");
  EXPECT_EQ(ExtensionOf(".pdf"), ".pdf");
}

class TargetNamingTest : public ::testing::Test {
 protected:
  ExportSettings Choices(std::optional<SubfolderRule> folder, std::optional<FileNameRule> file,
                         std::string pattern = "", bool counter = false) {
    ExportSettings s;
    s.AttachFolderOption = folder;
    s.AttachFilenameOption = file;
    s.FilnamePrefix = std::move(pattern);
    s.AttachNoOverwrite = counter;
    return s;
  }
  FakeFileSystem fs_;
  TargetNaming naming_{fs_, Today};
};

TEST_F(TargetNamingTest, SubfolderByRule) {
  TMailData m = Mail();
  m.Subject = "Re: Projekt\\Angebot";
  const struct {
    std::optional<SubfolderRule> rule;
    std::string expected;
  } cases[] = {
      {SubfolderRule::None, ""},
      {SubfolderRule::Subject, "Re_ Projekt\\Angebot"},
      {SubfolderRule::SenderName, "Erika Muster"},
      {SubfolderRule::SenderMail, "erika@example.com"},
      {SubfolderRule::ReceivedMonth, "2024-03"},
      {SubfolderRule::Extension, ""},  // made by the attachment export
      {std::nullopt, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(naming_.SubfolderName(m, Choices(c.rule, std::nullopt)), c.expected)
        << static_cast<int>(c.rule.value_or(SubfolderRule(-1)));
}

TEST_F(TargetNamingTest, FileNameByRule) {
  const struct {
    std::optional<FileNameRule> rule;
    std::string pattern;
    std::string expected;
  } cases[] = {
      {FileNameRule::OwnName, "", "scan.pdf"},
      {FileNameRule::Subject, "", "Angebot_scan.pdf"},
      {FileNameRule::SenderName, "", "Erika Muster_scan.pdf"},
      {FileNameRule::SenderMail, "", "erika@example.com_scan.pdf"},
      {std::nullopt, "", "_scan.pdf"},
      {FileNameRule::Pattern, "[ReceivedTime] - [SenderName] - [Subject]", "2024-03-05 - Erika Muster - Angebot_scan.pdf"},
      {FileNameRule::Pattern, "[receivedtime]_[SUBJECT]", "2024-03-05_Angebot_scan.pdf"},  // any letter case
      {FileNameRule::Pattern, "[ReceiverName][ReceiverMail]", "Max Mustermann_scan.pdf"},  // no receiver address
      {FileNameRule::Pattern, "[ActualDate(yyyy-mm)] [Datum] {Subject}", "2026-12 [Datum] {Subject}_scan.pdf"},
      {FileNameRule::Pattern, "", "_scan.pdf"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(naming_.TargetFileName(Mail(), "C:\\Export\\", "scan.pdf", Choices(std::nullopt, c.rule, c.pattern)),
              c.expected)
        << c.pattern;
}

TEST_F(TargetNamingTest, TokensAreReplacedOneAfterAnother) {
  TMailData m = Mail();
  m.SenderName = "[Subject]";  // put in place first, then replaced as a token itself
  EXPECT_EQ(naming_.TargetFileName(m, "C:\\E\\", "a.txt", Choices(std::nullopt, FileNameRule::Pattern, "[SenderName]")),
            "Angebot_a.txt");
}

TEST_F(TargetNamingTest, AttachmentWithoutUsableNameStillGetsOne) {
  EXPECT_EQ(naming_.TargetFileName(Mail(), "C:\\E\\", "..", Choices(std::nullopt, FileNameRule::OwnName)), "Anhang");
  EXPECT_EQ(naming_.TargetFileName(Mail(), "C:\\E\\", ".", Choices(std::nullopt, FileNameRule::Subject)), "Angebot_");
}

TEST_F(TargetNamingTest, CounterTakesTheFirstFreeNumber) {
  fs_.files = {"C:\\E\\Angebot_scan.pdf", "C:\\E\\Angebot_scan_1.pdf", "C:\\E\\README", "C:\\E\\README_1"};
  fs_.directories = {"C:\\E\\Angebot_x.pdf"};
  const auto choices = Choices(std::nullopt, FileNameRule::Subject, "", /*counter=*/true);
  EXPECT_EQ(naming_.TargetFileName(Mail(), "C:\\E\\", "scan.pdf", choices), "Angebot_scan_2.pdf");
  EXPECT_EQ(naming_.TargetFileName(Mail(), "C:\\E\\", "x.pdf", choices), "Angebot_x.pdf");  // a directory does not count
  EXPECT_EQ(naming_.UniqueFileName("C:\\E\\", "README"), "README_2");                     // no extension: counter at the end
  EXPECT_EQ(naming_.UniqueFileName("C:\\E\\", "neu.txt"), "neu.txt");
  // Without the counter an existing file is replaced.
  EXPECT_EQ(naming_.TargetFileName(Mail(), "C:\\E\\", "scan.pdf", Choices(std::nullopt, FileNameRule::Subject)),
            "Angebot_scan.pdf");
}

TEST_F(TargetNamingTest, CounterStaysLinearForManyEquallyNamedFiles) {
  for (int i = 0; i < 2000; ++i) {
    const std::string name = naming_.UniqueFileName("D:\\", "a.pdf");
    EXPECT_EQ(name, i == 0 ? "a.pdf" : "a_" + std::to_string(i) + ".pdf");
    fs_.files.insert("D:\\" + name);
  }
  EXPECT_LT(fs_.existenceChecks, 2 * 2000 + 10);
}

TEST_F(TargetNamingTest, CounterKeepsTheNameWithinTheLimit) {
  TargetNaming naming(fs_, Today, {LengthUnit::Utf8Bytes, 255});
  const std::string full = Repeat("a", 251) + ".pdf";  // 255 bytes
  const std::string longExtension = "b." + Repeat("e", 253);
  fs_.files = {"D:\\" + full, "D:\\" + longExtension};
  EXPECT_EQ(naming.UniqueFileName("D:\\", full), Repeat("a", 249) + "_1.pdf");
  EXPECT_EQ(naming.UniqueFileName("D:\\", longExtension), "b." + Repeat("e", 251) + "_1");
  fs_.files.insert("D:\\" + Repeat("a", 249) + "_1.pdf");
  EXPECT_EQ(naming.UniqueFileName("D:\\", full), Repeat("a", 249) + "_2.pdf");
}

TEST_F(TargetNamingTest, PreviewShowsFolderAndExampleName) {
  const struct {
    std::optional<SubfolderRule> folder;
    std::optional<FileNameRule> file;
    bool counter;
    std::string expected;
  } cases[] = {
      {SubfolderRule::None, FileNameRule::OwnName, false, "\\beispiel.pdf"},
      {SubfolderRule::Extension, FileNameRule::OwnName, false, "\\.PDF\\beispiel.pdf"},
      {SubfolderRule::ReceivedMonth, FileNameRule::Subject, false, "2024-03\\Angebot_beispiel.pdf"},
      {SubfolderRule::None, std::nullopt, true, "\\_beispiel_7.pdf"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(naming_.PreviewName(Mail(), Choices(c.folder, c.file, "", c.counter), 7), c.expected) << c.expected;
}

}  // namespace
}  // namespace trovex::engine
