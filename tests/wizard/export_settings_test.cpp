#include "wizard/export_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <tuple>
#include <variant>

#ifndef _WIN32
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/posix/file_registry.h"
#include "testing/temp_dir.h"
#endif

#include "testing/env.h"
#include "testing/memory_registry.h"

namespace trovex::wizard {
namespace {

using testing::SetEnv;

// The stored settings as the tests seed them: values of the current user's
// settings key.
class SettingsRegistry final : public testing::MemoryRegistry {
 public:
  void Set(std::string_view name, Value v) {
    MemoryRegistry::Set(RegistryRoot::CurrentUser, kSettingsKey, name, std::move(v));
  }
  using MemoryRegistry::Set;
};

std::string Documents() { return "/home/jo/Dokumente"; }

ExportSettings Sample() {
  ExportSettings s;
  s.AttachFolder = "D:\\Ablage\\";
  s.AttachFolderOption = SubfolderRule::ReceivedMonth;
  s.AttachFilenameOption = FileNameRule::Pattern;
  s.FilnamePrefix = "[Datum]_[Betreff]";
  s.AttachNoOverwrite = true;
  s.SelectExtensions = true;
  s.ExtensionList = ".DOCX;.PDF;";
  s.AttachExportEmbedded = true;
  return s;
}

void ExpectSameStoredChoices(const ExportSettings& a, const ExportSettings& b) {
  EXPECT_EQ(a.AttachFolder, b.AttachFolder);
  EXPECT_EQ(a.AttachFolderOption, b.AttachFolderOption);
  EXPECT_EQ(a.AttachFilenameOption, b.AttachFilenameOption);
  EXPECT_EQ(a.FilnamePrefix, b.FilnamePrefix);
  EXPECT_EQ(a.AttachNoOverwrite, b.AttachNoOverwrite);
  EXPECT_EQ(a.SelectExtensions, b.SelectExtensions);
  EXPECT_EQ(a.ExtensionList, b.ExtensionList);
  EXPECT_EQ(a.AttachExportEmbedded, b.AttachExportEmbedded);
}

TEST(FlagsText, OneDigitPerPosition) {
  EXPECT_EQ(FlagsText(static_cast<int>(SubfolderRule::ReceivedMonth), kSubfolderRuleCount), "000010");
  EXPECT_EQ(FlagsText(static_cast<int>(FileNameRule::Pattern), kFileNameRuleCount), "00010");
  EXPECT_EQ(FlagsText(0, kFileNameRuleCount), "10000");
  EXPECT_EQ(FlagsText(std::nullopt, kFileNameRuleCount), "00000");
  EXPECT_EQ(FlagsText(5, kFileNameRuleCount), "00000");  // out of range: no choice
  EXPECT_EQ(FlagsText(-1, kFileNameRuleCount), "00000");
}

TEST(ApplyFlagsText, SetsTheRadioButtonsInTurn) {
  struct Case {
    std::string_view text;
    std::optional<int> initial;
    std::optional<int> result;
  };
  const Case cases[] = {
      {"", 0, 0},                        // nothing stored: the dialog's own choice stays
      {"", std::nullopt, std::nullopt},  //
      {"000010", 0, 4},                  // the usual form
      {"000000", 0, std::nullopt},       // no choice at all
      {"010001", 0, 5},                  // several: the last one wins
      {"020000", std::nullopt, 1},       // any digit but 0 checks
      {"x00000", 0, std::nullopt},       // a non-digit unchecks like 0
      {"000", 4, std::nullopt},          // missing positions are unchecked too
      {"0", 3, std::nullopt},            //
      {"1", 3, 0},                       //
      {"0000001", 2, std::nullopt},      // beyond the last position: ignored
      {"a", std::nullopt, std::nullopt}, //
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ApplyFlagsText(c.text, kSubfolderRuleCount, c.initial), c.result) << c.text;
  }
}

TEST(ExtensionText, JoinsAndSplitsUpperCaseWithDots) {
  EXPECT_EQ(ExtensionText({".doc", "xlsx", "", ".ÄÖ"}), ".DOC;.XLSX;.ÄÖ;");
  EXPECT_EQ(ExtensionText({}), "");
  using V = std::vector<std::string>;
  EXPECT_EQ(ParseExtensionText(".DOC;.XLSX;"), (V{".DOC", ".XLSX"}));
  EXPECT_EQ(ParseExtensionText("pdf;;.Docx; .txt ;"), (V{".PDF", ".DOCX", ".TXT"}));
  EXPECT_EQ(ParseExtensionText(""), V{});
  EXPECT_EQ(ParseExtensionText(ExtensionText({"odt", ".Pdf"})), (V{".ODT", ".PDF"}));
}

TEST(LoadSettings, FirstOpeningGivesTheDefaults) {
  SettingsRegistry reg;
  const ExportSettings s = LoadSettings(reg, Documents);
  EXPECT_EQ(s.AttachFolder, "/home/jo/Dokumente\\");
  EXPECT_EQ(s.AttachFolderOption, SubfolderRule::None);
  EXPECT_EQ(s.AttachFilenameOption, std::nullopt);
  EXPECT_EQ(s.FilnamePrefix, "");
  EXPECT_FALSE(s.AttachNoOverwrite);
  EXPECT_FALSE(s.SelectExtensions);
  EXPECT_FALSE(s.AttachExportEmbedded);
  EXPECT_EQ(s.ExtensionList, "");
  EXPECT_FALSE(s.IncludeSubfolders);
}

TEST(LoadSettings, ReadsInTheDialogsOrder) {
  SettingsRegistry reg;
  LoadSettings(reg, Documents);
  EXPECT_EQ(reg.accesses, (std::vector<std::string>{"read AttachFolderOption", "read AttachFilenameOption",
                                                "read FilnamePrefix", "bool AttachNoOverwrite",
                                                "bool SelectExtensions", "bool AttachExportEmbedded",
                                                "read AttachFolder", "read ExtensionList"}));
}

TEST(LoadSettings, StoredZerosMeanNoChoice) {
  SettingsRegistry reg;
  reg.Set("AttachFolderOption", std::string("000000"));
  reg.Set("AttachFilenameOption", std::string("010001"));
  const ExportSettings s = LoadSettings(reg, Documents);
  EXPECT_EQ(s.AttachFolderOption, std::nullopt);
  EXPECT_EQ(s.AttachFilenameOption, FileNameRule::Subject);  // the sixth digit lies beyond the five rules

  reg.Set("AttachFolderOption", std::string("010001"));
  EXPECT_EQ(LoadSettings(reg, Documents).AttachFolderOption, SubfolderRule::Extension);
}

TEST(LoadSettings, ExpandsTheStoredFolderAndEndsItInBackslash) {
  SetEnv("TROVEX_SETTINGS_TEST_ROOT", "E:\\Daten");
  SettingsRegistry reg;
  reg.Set("AttachFolder", std::string("  %TROVEX_SETTINGS_TEST_ROOT%\\Anhänge "));
  bool asked = false;
  const ExportSettings s = LoadSettings(reg, [&] {
    asked = true;
    return Documents();
  });
  SetEnv("TROVEX_SETTINGS_TEST_ROOT", nullptr);
  EXPECT_EQ(s.AttachFolder, "E:\\Daten\\Anhänge\\");
  EXPECT_FALSE(asked);  // the personal folder is only looked up when needed

  reg.Set("AttachFolder", std::string(" \t "));  // blanks only: as if none were stored
  EXPECT_EQ(LoadSettings(reg, Documents).AttachFolder, "/home/jo/Dokumente\\");
}

TEST(LoadSettings, BooleanStoredAsTextIsAnError) {
  SettingsRegistry reg;
  reg.Set("SelectExtensions", std::string("1"));
  EXPECT_THROW(LoadSettings(reg, Documents), RegistryError);
}

TEST(SaveSettings, WritesEveryValueInTheDialogsOrderAndRoundTrips) {
  SettingsRegistry reg;
  ASSERT_TRUE(SaveSettings(reg, Sample()));
  EXPECT_EQ(reg.accesses, (std::vector<std::string>{"write AttachFolderOption", "write AttachExportEmbedded",
                                                "write AttachFolder", "write SelectExtensions",
                                                "write AttachFilenameOption", "write FilnamePrefix",
                                                "write AttachNoOverwrite", "write ExtensionList"}));
  EXPECT_EQ(std::get<std::string>(*reg.Find(RegistryRoot::CurrentUser, kSettingsKey, "AttachFolderOption")),
            "000010");
  EXPECT_EQ(std::get<std::string>(*reg.Find(RegistryRoot::CurrentUser, kSettingsKey, "AttachFilenameOption")),
            "00010");
  ExpectSameStoredChoices(LoadSettings(reg, Documents), Sample());

  ExportSettings none = Sample();
  none.AttachFolderOption.reset();
  none.AttachFilenameOption.reset();
  none.IncludeSubfolders = true;  // never stored
  ASSERT_TRUE(SaveSettings(reg, none));
  const ExportSettings back = LoadSettings(reg, Documents);
  ExpectSameStoredChoices(back, none);
  EXPECT_FALSE(back.IncludeSubfolders);
}

TEST(SaveSettings, ReportsAFailedWriteButWritesTheRest) {
  SettingsRegistry reg;
  reg.refuseWrite = [](RegistryRoot, const std::string&, const std::string& name) { return name == "AttachFolder"; };
  EXPECT_FALSE(SaveSettings(reg, Sample()));
  EXPECT_EQ(reg.accesses.size(), 8u);
  EXPECT_EQ(reg.log.size(), 7u);
  EXPECT_EQ(std::get<std::string>(*reg.Find(RegistryRoot::CurrentUser, kSettingsKey, "ExtensionList")),
            ".DOCX;.PDF;");
}

#ifndef _WIN32

class SettingsFileTest : public ::testing::Test {
 protected:
  std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  const testing::TempDir tmp_{"trovex-settings"};
  const std::string dir_ = tmp_.path().string();
};

TEST_F(SettingsFileTest, RoundTripsThroughTheRegistryFile) {
  const std::string file = dir_ + "/trovex/registry.reg";
  FileRegistry reg(file);
  ASSERT_TRUE(SaveSettings(reg, Sample()));
  ExpectSameStoredChoices(LoadSettings(reg, Documents), Sample());
  EXPECT_EQ(ReadAll(file),
            "Windows Registry Editor Version 5.00\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software]\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Quellmark Software]\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Quellmark Software\\MSO_Attachments]\n"
            "\"AttachFolderOption\"=\"000010\"\n"
            "\"AttachExportEmbedded\"=dword:00000001\n"
            "\"AttachFolder\"=\"D:\\\\Ablage\\\\\"\n"
            "\"SelectExtensions\"=dword:00000001\n"
            "\"AttachFilenameOption\"=\"00010\"\n"
            "\"FilnamePrefix\"=\"[Datum]_[Betreff]\"\n"
            "\"AttachNoOverwrite\"=dword:00000001\n"
            "\"ExtensionList\"=\".DOCX;.PDF;\"\n"
            "\n");
}

TEST_F(SettingsFileTest, DamagedFileIsReportedAndKept) {
  const std::string file = dir_ + "/registry.reg";
  const std::string damaged =
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_CURRENT_USER\\Software\\Quellmark Software\\MSO_Attachments]\n"
      "\"AttachFolder\"=\"D:\\\\Ablage\\\\\"\n"
      "\"FilnamePrefix\"=\"[Betreff\n";
  std::ofstream(file, std::ios::binary) << damaged;
  FileRegistry reg(file);
  try {
    LoadSettings(reg, Documents);
    FAIL() << "no error";
  } catch (const RegistryError& e) {
    EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("Zeile 5"), std::string::npos) << e.what();
  }
  EXPECT_THROW(SaveSettings(reg, Sample()), RegistryError);
  EXPECT_EQ(ReadAll(file), damaged);
}

TEST_F(SettingsFileTest, UnwritableLocationFailsWithAReason) {
  std::ofstream(dir_ + "/config") << "a file where the folder should be";
  FileRegistry reg(dir_ + "/config/trovex/registry.reg");
  EXPECT_FALSE(SaveSettings(reg, Sample()));
  EXPECT_NE(reg.LastWriteError().find(dir_ + "/config/trovex/registry.reg"), std::string::npos)
      << reg.LastWriteError();
  SettingsRegistry empty;
  ExpectSameStoredChoices(LoadSettings(reg, Documents), LoadSettings(empty, Documents));  // nothing was stored
}

#endif

}  // namespace
}  // namespace trovex::wizard
