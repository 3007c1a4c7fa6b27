#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/file_system.h"
#include "support/known_folders.h"
#include "support/text_utils.h"
#include "support/utf8.h"
#include "support/win32/shell_dialogs.h"
#include "support/win32/wide_string.h"

namespace trovex::win32 {
namespace {

TEST(WideString, RoundTripsAndReplacesInvalidBytes) {
  struct Case {
    std::string utf8;
    std::wstring wide;
    std::string back;  // UTF-8 of `wide`
  };
  const Case cases[] = {
      {"", L"", ""},                                                    // empty stays empty
      {"Anhänge", L"Anh\u00e4nge", "Anhänge"},                          // BMP
      {"\xF0\x9F\x93\x8E", L"\U0001F4CE", "\xF0\x9F\x93\x8E"},          // surrogate pair
      {std::string("a\0b", 3), std::wstring(L"a\0b", 3), std::string("a\0b", 3)},  // embedded NUL kept
      {"a\xFF" "b", L"a\uFFFDb", "a\xEF\xBF\xBD" "b"},                  // invalid byte: U+FFFD
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WideFromUtf8(c.utf8), c.wide) << c.utf8;
    EXPECT_EQ(Utf8FromWide(c.wide), c.back) << c.utf8;
  }
}

TEST(FileType, WineKnowsTextFiles) {
  const std::string name = FileTypeName(".txt");
  EXPECT_FALSE(name.empty());
  EXPECT_LE(CodePointCount(name), 80u);
  const unique_hicon icon = FileTypeIcon(".txt");
  EXPECT_TRUE(icon);
}

TEST(PersonalFolder, IsAnExistingFolderWithoutTrailingBackslash) {
  const std::string folder = PersonalFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '\\');
  EXPECT_TRUE(RealFileSystem().DirectoryExists(folder)) << folder;
}

// The process environment is expanded by Windows itself.
TEST(NormalizeFolderText, ExpandsTheProcessEnvironmentThroughTheSystem) {
  ASSERT_TRUE(::SetEnvironmentVariableW(L"TROVEX_WSUP_FOLDER", L"C:\\Daten\\Anh\u00e4nge"));
  ASSERT_TRUE(::SetEnvironmentVariableW(L"TROVEX_WSUP_LONG", std::wstring(1020, L'a').c_str()));
  struct Case {
    std::string text;
    bool backslash;
    std::string result;
  };
  const Case cases[] = {
      {"  %TROVEX_WSUP_FOLDER%\\x ", true, "C:\\Daten\\Anhänge\\x\\"},       // UTF-8 out of UTF-16
      {"%trovex_wsup_folder%", false, "C:\\Daten\\Anhänge"},                // names ignore case
      {"%TROVEX_WSUP_UNDEFINED%\\x", false, "%TROVEX_WSUP_UNDEFINED%\\x"},  // undefined stays
      {"%TROVEX_WSUP_LONG%\\abc", false, std::string(1020, 'a') + "\\abc"}, // 1024 fit
      {"%TROVEX_WSUP_LONG%\\abcd", true, "%TROVEX_WSUP_LONG%\\abcd\\"},     // 1025 do not: as typed
      {" \t ", true, ""},                                                   // blanks only
  };
  for (const auto& c : cases) EXPECT_EQ(NormalizeFolderText(c.text, c.backslash), c.result) << c.text;
  EXPECT_EQ(EnvironmentValue("TROVEX_WSUP_FOLDER"), "C:\\Daten\\Anhänge");
  EXPECT_EQ(EnvironmentValue("TROVEX_WSUP_UNDEFINED"), std::nullopt);
  ::SetEnvironmentVariableW(L"TROVEX_WSUP_FOLDER", nullptr);
  ::SetEnvironmentVariableW(L"TROVEX_WSUP_LONG", nullptr);
}

}  // namespace
}  // namespace trovex::win32
