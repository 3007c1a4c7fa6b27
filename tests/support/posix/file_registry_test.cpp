#include "support/posix/file_registry.h"
#include "testing/temp_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "support/posix/known_folders.h"

namespace trovex {
namespace {

using testing::TempDir;

namespace fs = std::filesystem;

constexpr RegistryRoot kUser = RegistryRoot::CurrentUser;
constexpr std::string_view kKey = "Software\\Quellmark Software\\MSO_Attachments";


std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const std::string& path, std::string_view text) {
  std::ofstream(path, std::ios::binary) << text;
}

class FileRegistryTest : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string file_ = dir_.path().string() + "/trovex/registry.reg";
  FileRegistry reg_{file_};
};

TEST_F(FileRegistryTest, MissingFileReadsAsDefaults) {
  EXPECT_EQ(reg_.ReadRegString(kUser, kKey, "AttachFolder"), "");
  EXPECT_FALSE(reg_.ReadRegBool(kUser, kKey, "AttachNoOverwrite"));
  EXPECT_FALSE(fs::exists(file_));  // reading creates nothing
}

TEST_F(FileRegistryTest, WritesARegeditExportWithEveryParentKey) {
  ASSERT_TRUE(reg_.WriteRegString(kUser, kKey, "AttachFolder", "C:\\Users\\Jörg \"J\"\\"));
  ASSERT_TRUE(reg_.WriteRegBool(kUser, kKey, "AttachNoOverwrite", true));
  ASSERT_TRUE(reg_.WriteRegString(kUser, "Software\\Quellmark Software", "", "Standard"));
  ASSERT_TRUE(reg_.WriteRegBool(RegistryRoot::LocalMachine, "Software\\X", "Off", false));
  EXPECT_EQ(ReadAll(file_),
            "Windows Registry Editor Version 5.00\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software]\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Quellmark Software]\n"
            "@=\"Standard\"\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Quellmark Software\\MSO_Attachments]\n"
            "\"AttachFolder\"=\"C:\\\\Users\\\\Jörg \\\"J\\\"\\\\\"\n"
            "\"AttachNoOverwrite\"=dword:00000001\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\Software]\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\Software\\X]\n"
            "\"Off\"=dword:00000000\n"
            "\n");
  EXPECT_EQ(reg_.LastWriteError(), "");

  FileRegistry again(file_);
  EXPECT_EQ(again.ReadRegString(kUser, kKey, "AttachFolder"), "C:\\Users\\Jörg \"J\"\\");
  EXPECT_TRUE(again.ReadRegBool(kUser, kKey, "AttachNoOverwrite"));
  EXPECT_EQ(again.ReadRegString(kUser, "Software\\Quellmark Software", ""), "Standard");
  EXPECT_FALSE(again.ReadRegBool(RegistryRoot::LocalMachine, "Software\\X", "Off"));
  EXPECT_EQ(again.ReadRegString(RegistryRoot::LocalMachine, kKey, "AttachFolder"), "");  // hives are apart
}

TEST_F(FileRegistryTest, MatchesKeysAndNamesWithoutCaseAndKeepsTheFirstCase) {
  ASSERT_TRUE(reg_.WriteRegString(kUser, kKey, "FilnamePrefix", "a"));
  ASSERT_TRUE(reg_.WriteRegString(kUser, "SOFTWARE\\quellmark software\\mso_attachments", "FILNAMEPREFIX", "b"));
  ASSERT_TRUE(reg_.WriteRegString(kUser, "software\\Neu", "x", "c"));
  EXPECT_EQ(reg_.ReadRegString(kUser, "software\\QUELLMARK SOFTWARE\\Mso_Attachments", "filnameprefix"), "b");
  const std::string text = ReadAll(file_);
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Quellmark Software\\MSO_Attachments]\n"
                      "\"FilnamePrefix\"=\"b\"\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Neu]"), std::string::npos) << text;
  EXPECT_EQ(text.find("SOFTWARE"), std::string::npos) << text;
}

TEST_F(FileRegistryTest, ValuesOfAnotherType) {
  ASSERT_TRUE(reg_.WriteRegBool(kUser, kKey, "Flag", true));
  ASSERT_TRUE(reg_.WriteRegString(kUser, kKey, "Text", "1"));
  EXPECT_EQ(reg_.ReadRegString(kUser, kKey, "Flag"), "");  // a number read as text
  EXPECT_THROW(reg_.ReadRegBool(kUser, kKey, "Text"), RegistryError);
  ASSERT_TRUE(reg_.WriteRegBool(kUser, kKey, "Text", false));  // a write replaces the type
  EXPECT_FALSE(reg_.ReadRegBool(kUser, kKey, "Text"));
}

TEST_F(FileRegistryTest, DwordsAreKeptAsTheyAreWritten) {
  ASSERT_TRUE(reg_.WriteRegDword(kUser, kKey, "LoadBehavior", 3));
  ASSERT_TRUE(reg_.WriteRegDword(kUser, kKey, "Max", 0xFFFFFFFFu));
  ASSERT_TRUE(reg_.WriteRegString(kUser, kKey, "Text", "3"));
  EXPECT_EQ(reg_.ReadRegDword(kUser, kKey, "loadbehavior"), 3u);
  EXPECT_EQ(reg_.ReadRegDword(kUser, kKey, "Max"), 0xFFFFFFFFu);
  EXPECT_TRUE(reg_.ReadRegBool(kUser, kKey, "LoadBehavior"));     // any number but 0
  EXPECT_EQ(reg_.ReadRegDword(kUser, kKey, "Text"), std::nullopt);  // another type
  EXPECT_EQ(reg_.ReadRegDword(kUser, kKey, "Missing"), std::nullopt);
  EXPECT_EQ(reg_.ReadRegDword(kUser, "Software\\Nowhere", "LoadBehavior"), std::nullopt);
  EXPECT_EQ(reg_.ReadRegDword(static_cast<RegistryRoot>(7), kKey, "LoadBehavior"), std::nullopt);
  EXPECT_FALSE(reg_.WriteRegDword(static_cast<RegistryRoot>(7), kKey, "LoadBehavior", 1));
  const std::string text = ReadAll(file_);
  EXPECT_NE(text.find("\"LoadBehavior\"=dword:00000003\n\"Max\"=dword:ffffffff\n"), std::string::npos) << text;
}

TEST_F(FileRegistryTest, KeysExistWithTheirParentsAndAreDeletedWithTheirSubkeys) {
  const std::string addIn = "Software\\Microsoft\\Office\\Outlook\\AddIns\\QM_MSOAddIn.MSOAddIn";
  ASSERT_TRUE(reg_.WriteRegString(kUser, addIn, "FriendlyName", "Trovex"));
  ASSERT_TRUE(reg_.WriteRegBool(kUser, addIn + "\\CommandBars\\Bar1", "Visible", true));
  ASSERT_TRUE(reg_.WriteRegString(kUser, addIn + "X", "FriendlyName", "a sibling with the same start"));
  ASSERT_TRUE(reg_.WriteRegString(RegistryRoot::LocalMachine, addIn, "FriendlyName", "machine"));

  EXPECT_TRUE(reg_.KeyExists(kUser, "software\\microsoft\\office"));  // a parent, any case
  EXPECT_TRUE(reg_.KeyExists(kUser, addIn + "\\CommandBars"));
  EXPECT_FALSE(reg_.KeyExists(kUser, addIn + "\\Controls"));
  EXPECT_FALSE(reg_.KeyExists(RegistryRoot::ClassesRoot, addIn));
  EXPECT_FALSE(reg_.KeyExists(static_cast<RegistryRoot>(0), addIn));

  EXPECT_TRUE(reg_.DeleteKey(kUser, "SOFTWARE\\Microsoft\\Office\\Outlook\\AddIns\\qm_msoaddin.msoaddin"));
  EXPECT_FALSE(reg_.KeyExists(kUser, addIn));
  EXPECT_FALSE(reg_.KeyExists(kUser, addIn + "\\CommandBars\\Bar1"));
  EXPECT_EQ(reg_.ReadRegString(kUser, addIn + "X", "FriendlyName"), "a sibling with the same start");
  EXPECT_TRUE(reg_.KeyExists(kUser, "Software\\Microsoft\\Office\\Outlook\\AddIns"));  // the parent stays
  EXPECT_EQ(reg_.ReadRegString(RegistryRoot::LocalMachine, addIn, "FriendlyName"), "machine");  // other hive
  EXPECT_EQ(reg_.LastWriteError(), "");

  EXPECT_FALSE(reg_.DeleteKey(kUser, addIn));  // gone already
  EXPECT_FALSE(reg_.DeleteKey(kUser, ""));     // never a whole hive
  EXPECT_FALSE(reg_.DeleteKey(kUser, "\\"));
  EXPECT_FALSE(reg_.DeleteKey(static_cast<RegistryRoot>(7), addIn));
  EXPECT_TRUE(reg_.KeyExists(kUser, "Software"));
}

TEST_F(FileRegistryTest, UnknownHiveReadsDefaultsAndRefusesWrites) {
  const auto none = static_cast<RegistryRoot>(7);
  EXPECT_FALSE(reg_.WriteRegString(none, kKey, "A", "x"));
  EXPECT_FALSE(reg_.LastWriteError().empty());
  EXPECT_FALSE(reg_.WriteRegBool(static_cast<RegistryRoot>(0), kKey, "A", true));
  EXPECT_EQ(reg_.ReadRegString(none, kKey, "A"), "");
  EXPECT_FALSE(reg_.ReadRegBool(none, kKey, "A"));
  EXPECT_FALSE(fs::exists(file_));
}

TEST_F(FileRegistryTest, TextsWithLineBreaksRoundTrip) {
  const std::string text = "Zeile 1\r\nZeile 2 ü€😀\n";
  ASSERT_TRUE(reg_.WriteRegString(kUser, kKey, "Multi", text));
  ASSERT_TRUE(reg_.WriteRegString(kUser, kKey, "After", "ok"));
  EXPECT_EQ(reg_.ReadRegString(kUser, kKey, "Multi"), text);
  EXPECT_EQ(reg_.ReadRegString(kUser, kKey, "After"), "ok");
  EXPECT_FALSE(reg_.WriteRegString(kUser, kKey, "Two\nLines", "x"));  // a name cannot hold one
}

TEST_F(FileRegistryTest, ReadsWhatRegeditWrites) {
  fs::create_directories(dir_.path().string() + "/trovex");
  WriteAll(file_,
           "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
           "\r\n"
           "; exported on the office PC\r\n"
           "[HKEY_CURRENT_USER\\Software\\Quellmark Software\\MSO_Attachments]\r\n"
           "\"AttachFolder\"=\"D:\\\\Ablage\\\\\"\r\n"
           "\"AttachNoOverwrite\"=dword:0000000A\r\n"
           "\"Path\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\r\n"
           "\"Blob\"=hex:01,02,\\\r\n"
           "  03,04\r\n"
           "\"Note\"=hex(1):61,00,0a,00,62,00,00,00\r\n"
           "\r\n"
           "[hkey_current_user\\software\\quellmark software\\mso_attachments]\r\n"
           "\"AttachFolder\"=\"E:\\\\\"\r\n");
  EXPECT_EQ(reg_.ReadRegString(kUser, kKey, "AttachFolder"), "E:\\");  // later entries win
  EXPECT_TRUE(reg_.ReadRegBool(kUser, kKey, "AttachNoOverwrite"));
  EXPECT_EQ(reg_.ReadRegString(kUser, kKey, "Path"), "");  // not a plain text
  EXPECT_THROW(reg_.ReadRegBool(kUser, kKey, "Blob"), RegistryError);
  EXPECT_EQ(reg_.ReadRegString(kUser, kKey, "Note"), "a\nb");

  // A write keeps what it does not understand.
  ASSERT_TRUE(reg_.WriteRegBool(kUser, kKey, "SelectExtensions", true));
  const std::string text = ReadAll(file_);
  EXPECT_NE(text.find("\"Path\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Blob\"=hex:01,02,03,04\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"AttachNoOverwrite\"=dword:0000000a\n"), std::string::npos) << text;
}

TEST_F(FileRegistryTest, DamagedFileFailsEveryAccessAndStaysUntouched) {
  struct Case {
    std::string content;
    int line;
  };
  const std::string header = "Windows Registry Editor Version 5.00\n\n";
  const std::string section = "[HKEY_CURRENT_USER\\Software\\Quellmark Software\\MSO_Attachments]\n";
  const Case cases[] = {
      {"REGEDIT4\n\n" + section, 1},                                   // another header
      {header + section + "\"A\"=\"x\"\ngarbage\n", 5},                // a line that is no entry
      {header + section + "\"A\"=\"C:\\Temp\"\n", 4},                  // unescaped backslash
      {header + section + "\"A\"=\"open\n", 4},                        // quote not closed
      {header + section + "\"A\"=dword:1234567890\n", 4},              // nine digits
      {header + section + "\"A\"=dword:xyz\n", 4},                     // not hex
      {header + section + "\"A\"=\"x\" trailing\n", 4},                // text after the value
      {header + section + "\"A\"=hex:01,zz\n", 4},                     // bad byte
      {header + section + "\"A\"=hex:01,\\\n", 4},                     // continuation missing
      {header + "\"A\"=\"x\"\n", 3},                                   // value outside a key
      {header + "[HKEY_NOWHERE\\Software]\n", 3},                      // unknown hive
      {header + "[HKEY_CURRENT_USER\\Software\n", 3},                  // bracket not closed
      {header + section + "\"A\"\n", 4},                               // no "="
  };
  fs::create_directories(dir_.path().string() + "/trovex");
  for (const auto& c : cases) {
    WriteAll(file_, c.content);
    const std::string where = "Zeile " + std::to_string(c.line) + ":";
    const auto expectError = [&](const auto& access) {
      try {
        access();
        ADD_FAILURE() << "no error for: " << c.content;
      } catch (const RegistryError& e) {
        EXPECT_NE(std::string(e.what()).find(file_), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(where), std::string::npos) << e.what() << " / " << where;
      }
    };
    expectError([&] { reg_.ReadRegString(kUser, kKey, "A"); });
    expectError([&] { reg_.ReadRegBool(kUser, kKey, "A"); });
    expectError([&] { reg_.WriteRegString(kUser, kKey, "A", "y"); });
    expectError([&] { reg_.WriteRegBool(kUser, kKey, "B", true); });
    expectError([&] { reg_.ReadRegDword(kUser, kKey, "A"); });
    expectError([&] { reg_.WriteRegDword(kUser, kKey, "B", 1); });
    expectError([&] { reg_.KeyExists(kUser, kKey); });
    expectError([&] { reg_.DeleteKey(kUser, kKey); });
    EXPECT_EQ(ReadAll(file_), c.content);
  }
}

TEST_F(FileRegistryTest, EmptyFileIsAnEmptyRegistry) {
  fs::create_directories(dir_.path().string() + "/trovex");
  WriteAll(file_, "");
  EXPECT_EQ(reg_.ReadRegString(kUser, kKey, "A"), "");
  EXPECT_TRUE(reg_.WriteRegString(kUser, kKey, "A", "x"));
  EXPECT_EQ(reg_.ReadRegString(kUser, kKey, "A"), "x");
}

TEST_F(FileRegistryTest, UnreadableFileIsAnError) {
  fs::create_directories(file_);  // a directory where the file belongs
  EXPECT_THROW(reg_.ReadRegString(kUser, kKey, "A"), RegistryError);
  EXPECT_THROW(reg_.WriteRegString(kUser, kKey, "A", "x"), RegistryError);
}

TEST(FileRegistryWrite, FailsWithAReasonWhenTheFolderCannotBeMade) {
  TempDir dir;
  const std::string blocker = dir.path().string() + "/config";
  WriteAll(blocker, "a file, not a folder");
  FileRegistry reg(blocker + "/trovex/registry.reg");
  EXPECT_EQ(reg.ReadRegString(kUser, kKey, "A"), "");
  EXPECT_FALSE(reg.WriteRegString(kUser, kKey, "A", "x"));
  EXPECT_NE(reg.LastWriteError().find(blocker + "/trovex/registry.reg"), std::string::npos) << reg.LastWriteError();
  EXPECT_EQ(ReadAll(blocker), "a file, not a folder");
}

TEST(FileRegistryWrite, ReadOnlyFolderKeepsTheOldFile) {
  TempDir dir;
  const std::string file = dir.path().string() + "/registry.reg";
  FileRegistry reg(file);
  ASSERT_TRUE(reg.WriteRegString(kUser, kKey, "A", "old"));
  const std::string before = ReadAll(file);
  ::chmod(dir.path().string().c_str(), 0555);
  if (::access(dir.path().string().c_str(), W_OK) == 0) {
    GTEST_SKIP() << "permissions do not bind this user (root); the regular-file parent test covers the failure";
  }
  EXPECT_FALSE(reg.WriteRegString(kUser, kKey, "A", "new"));
  EXPECT_NE(reg.LastWriteError().find("Permission denied"), std::string::npos) << reg.LastWriteError();
  EXPECT_EQ(ReadAll(file), before);
  EXPECT_EQ(reg.ReadRegString(kUser, kKey, "A"), "old");
  ASSERT_TRUE(reg.WriteRegString(kUser, kKey, "A", "old"));  // nothing to change, nothing to write
  EXPECT_EQ(reg.LastWriteError(), "");
}

TEST(FileRegistryWrite, ReplacesTheFileAtomicallyAndKeepsLinksAndMode) {
  TempDir dir;
  const std::string real = dir.path().string() + "/dotfiles/registry.reg";
  const std::string link = dir.path().string() + "/registry.reg";
  FileRegistry(real).WriteRegString(kUser, kKey, "A", "1");
  ::chmod(real.c_str(), 0640);
  fs::create_symlink(real, link);
  FileRegistry reg(link);
  ASSERT_TRUE(reg.WriteRegString(kUser, kKey, "A", "2"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(FileRegistry(real).ReadRegString(kUser, kKey, "A"), "2");
  EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  for (const auto& entry : fs::directory_iterator(dir.path().string() + "/dotfiles")) {
    EXPECT_EQ(entry.path().filename(), "registry.reg") << "left behind: " << entry.path();
  }
}

// ---- Where the file lives, and the documents folder (XDG)

class FakeEnv {
 public:
  std::map<std::string, std::string> vars;
  EnvLookup Lookup() const {
    return [this](const std::string& name) -> std::optional<std::string> {
      if (auto it = vars.find(name); it != vars.end()) return it->second;
      return std::nullopt;
    };
  }
};

TEST(DefaultRegistryFile, FollowsXdgConfigHome) {
  FakeEnv env;
  env.vars = {{"HOME", "/home/jo"}};
  EXPECT_EQ(DefaultRegistryFile(env.Lookup()), "/home/jo/.config/trovex/registry.reg");
  env.vars["XDG_CONFIG_HOME"] = "/etc/jo/";
  EXPECT_EQ(DefaultRegistryFile(env.Lookup()), "/etc/jo/trovex/registry.reg");
  env.vars["XDG_CONFIG_HOME"] = "relative/cfg";  // only absolute paths count
  EXPECT_EQ(DefaultRegistryFile(env.Lookup()), "/home/jo/.config/trovex/registry.reg");
  env.vars["XDG_CONFIG_HOME"] = "";
  EXPECT_EQ(DefaultRegistryFile(env.Lookup()), "/home/jo/.config/trovex/registry.reg");
}

TEST(UserDirFromText, ReadsTheLastAssignment) {
  struct Case {
    std::string_view text;
    std::optional<std::string> dir;
  };
  const Case cases[] = {
      {"XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n", "/home/jo/Dokumente"},        // as xdg-user-dirs writes it
      {"# XDG_DOCUMENTS_DIR=\"$HOME/x\"\n", std::nullopt},                      // a comment
      {"XDG_DOCUMENTS_DIRS=\"/x\"\n", std::nullopt},                            // another name
      {"XDG_DOWNLOAD_DIR=\"$HOME/dl\"\n", std::nullopt},                        // another folder
      {"XDG_DOCUMENTS_DIR=\"/srv/docs\"\n", "/srv/docs"},                       // absolute
      {"XDG_DOCUMENTS_DIR=\"docs\"\n", std::nullopt},                           // relative: ignored
      {"XDG_DOCUMENTS_DIR=\"$HOME/\"\n", "/home/jo/"},                          // disabled: home itself
      {"XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Docs\\\"\"\n", "/home/jo/My \"Docs\""},  // shell escapes
      {"XDG_DOCUMENTS_DIR=\"$HOME/a\"\n  XDG_DOCUMENTS_DIR = \"$HOME/b\"\n", "/home/jo/b"},  // last one wins
      {"XDG_DOCUMENTS_DIR=\"$HOME/open\n", std::nullopt},                       // quote not closed
  };
  for (const auto& c : cases) EXPECT_EQ(posix::UserDirFromText(c.text, "XDG_DOCUMENTS_DIR", "/home/jo"), c.dir) << c.text;
}

TEST(PersonalFolder, UsesUserDirsThenTheVariableThenHome) {
  TempDir dir;
  FakeEnv env;
  env.vars = {{"HOME", dir.path().string() + "/home/"}, {"XDG_CONFIG_HOME", dir.path().string() + "/cfg"}};
  EXPECT_EQ(posix::PersonalFolder(env.Lookup()), dir.path().string() + "/home");  // no file, no variable

  env.vars["XDG_DOCUMENTS_DIR"] = "/var/docs/";
  EXPECT_EQ(posix::PersonalFolder(env.Lookup()), "/var/docs");

  fs::create_directories(dir.path().string() + "/cfg");
  WriteAll(dir.path().string() + "/cfg/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente/\"\n");
  EXPECT_EQ(posix::PersonalFolder(env.Lookup()), dir.path().string() + "/home/Dokumente");

  env.vars.erase("XDG_CONFIG_HOME");  // then ~/.config is the place
  fs::create_directories(dir.path().string() + "/home/.config");
  WriteAll(dir.path().string() + "/home/.config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"/data/Documents\"\n");
  EXPECT_EQ(posix::PersonalFolder(env.Lookup()), "/data/Documents");
}

}  // namespace
}  // namespace trovex
