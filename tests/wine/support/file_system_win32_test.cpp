#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "engine/target_naming.h"
#include "host/scratch_folder.h"
#include "support/date_time.h"
#include "support/file_system.h"
#include "support/long_path.h"
#include "support/name_limit.h"
#include "support/native_path.h"
#include "support/win32/wide_string.h"
#include "support/win32/win32_handles.h"

namespace trovex {
namespace {

using win32::Utf8FromWide;
using win32::WideFromUtf8;

std::wstring CurrentDirectory() {
  wchar_t buffer[MAX_PATH * 4] = {};
  ::GetCurrentDirectoryW(static_cast<DWORD>(std::size(buffer)), buffer);
  return buffer;
}

// A fresh folder below %TEMP% in the engine's form (no trailing "\"),
// removed with everything in it afterwards.
class Win32FileSystemTest : public ::testing::Test {
 protected:
  // Writes `bytes` through the wide API, as Outlook would.
  std::string WriteFile(const std::string& path, std::string_view bytes = "x") {
    win32::unique_hfile file(::CreateFileW(NativePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(file) << path;
    DWORD written = 0;
    ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return path;
  }

  static FILETIME LastWriteTime(const std::string& path) {
    win32::unique_hfile file(::CreateFileW(NativePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    FILETIME created{}, accessed{}, written{};
    EXPECT_TRUE(::GetFileTime(file.Get(), &created, &accessed, &written)) << path;
    return written;
  }

  const wine_host::ScratchFolder scratch_{std::string("trovex-wsup-") +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name()};
  const std::string& root_ = scratch_.Path();
  FileSystem& fs = RealFileSystem();
};

TEST(NativePath, LongAbsolutePathsGetTheExtendedLengthPrefix) {
  const std::string deep = "C:\\" + std::string(250, 'a');  // 253 characters, over 248
  struct Case {
    std::string path;
    std::wstring native;
  };
  const Case cases[] = {
      {"C:\\Export\\Anhänge", L"C:\\Export\\Anh\u00e4nge"},                           // short: as it is
      {"Export/a.pdf", L"Export/a.pdf"},                                               // relative: as it is
      {deep, L"\\\\?\\" + WideFromUtf8(deep)},                                         // long drive path
      {"C:/" + std::string(250, 'a'), L"\\\\?\\" + WideFromUtf8(deep)},                // "/" normalised first
      {"C:\\x\\..\\" + std::string(250, 'a'), L"\\\\?\\" + WideFromUtf8(deep)},        // so is ".."
      {"\\\\srv\\share\\" + std::string(250, 'b'),
       L"\\\\?\\UNC\\srv\\share\\" + std::wstring(250, L'b')},                          // long UNC path
      {"\\\\?\\" + deep, L"\\\\?\\" + WideFromUtf8(deep)},                             // already prefixed
  };
  for (const auto& c : cases) EXPECT_EQ(NativePath(c.path).wstring(), c.native) << c.path;
}

TEST_F(Win32FileSystemTest, TellsFilesFromDirectories) {
  const std::string file = WriteFile(root_ + "\\a.txt");
  EXPECT_TRUE(fs.FileExists(file));
  EXPECT_FALSE(fs.DirectoryExists(file));
  EXPECT_TRUE(fs.DirectoryExists(root_));
  EXPECT_FALSE(fs.FileExists(root_));
  EXPECT_FALSE(fs.FileExists(root_ + "\\missing.txt"));
  EXPECT_FALSE(fs.DirectoryExists(root_ + "\\missing"));
  EXPECT_FALSE(fs.CreateDirectory(root_));  // exists already
  EXPECT_FALSE(fs.CreateDirectory(root_ + "\\missing\\below"));  // one level only
}

TEST_F(Win32FileSystemTest, LongPathsWorkThroughCreateSubDirsAndEveryCall) {
  std::string deep = root_;
  for (int level = 0; WideFromUtf8(deep).size() < 300; ++level) {
    deep += "\\Ordner " + std::to_string(level) + " mit langem Namen äöü";
  }
  const std::wstring before = CurrentDirectory();
  ASSERT_TRUE(CreateSubDirs(fs, deep + "\\"));
  EXPECT_EQ(CurrentDirectory(), before);  // the directory is never changed
  EXPECT_TRUE(fs.DirectoryExists(deep));

  const std::string file = WriteFile(deep + "\\Anhang.pdf");
  ASSERT_GT(WideFromUtf8(file).size(), 300u);
  EXPECT_TRUE(fs.FileExists(file));
  fs.SetLastWriteTime(file, CivilToOleDate({2023, 11, 5, 14, 30, 15, 0}));
  SYSTEMTIME utc{};
  const FILETIME written = LastWriteTime(file);
  ASSERT_TRUE(::FileTimeToSystemTime(&written, &utc));
  EXPECT_EQ(utc.wYear, 2023);
  EXPECT_EQ(utc.wMonth, 11);
}

// The written UTC time, taken back to local time by the inverse call,
// gives the local time asked for, to the millisecond, in winter and summer.
TEST_F(Win32FileSystemTest, SetLastWriteTimeTakesLocalTime) {
  const std::string file = WriteFile(root_ + "\\t.txt");
  const CivilTime cases[] = {
      {2024, 1, 15, 12, 0, 0, 0},      // winter time
      {2024, 7, 1, 12, 0, 0, 250},     // summer time, with milliseconds
      {1999, 12, 31, 23, 59, 59, 999}, // across a year end in UTC
      {2024, 2, 29, 0, 0, 0, 0},       // leap day at midnight
  };
  for (const CivilTime& local : cases) {
    fs.SetLastWriteTime(file, CivilToOleDate(local));
    const FILETIME written = LastWriteTime(file);
    SYSTEMTIME utc{}, back{};
    ASSERT_TRUE(::FileTimeToSystemTime(&written, &utc));
    ASSERT_TRUE(::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &back));
    EXPECT_EQ(CivilTime({back.wYear, back.wMonth, back.wDay, back.wHour, back.wMinute, back.wSecond,
                         back.wMilliseconds}),
              local)
        << FormatIsoDate(local) << " " << FormatStamp(local);
  }
}

// With the zone fixed (TZ=Europe/Berlin, as the test runner sets it) the
// offsets are known: one hour in winter, two in summer.
TEST_F(Win32FileSystemTest, SetLastWriteTimeInBerlin) {
  char tz[64] = {};
  if (::GetEnvironmentVariableA("TZ", tz, sizeof tz) == 0 || std::string(tz) != "Europe/Berlin") {
    GTEST_SKIP() << "TZ is not Europe/Berlin";
  }
  const std::string file = WriteFile(root_ + "\\b.txt");
  struct Case {
    CivilTime local;
    int utcHour;
  };
  const Case cases[] = {
      {{2024, 1, 15, 12, 0, 0, 0}, 11},  // CET
      {{2024, 7, 1, 12, 0, 0, 0}, 10},   // CEST
  };
  for (const auto& c : cases) {
    fs.SetLastWriteTime(file, CivilToOleDate(c.local));
    const FILETIME written = LastWriteTime(file);
    SYSTEMTIME utc{};
    ASSERT_TRUE(::FileTimeToSystemTime(&written, &utc));
    EXPECT_EQ(utc.wHour, c.utcHour) << FormatIsoDate(c.local);
    EXPECT_EQ(utc.wDay, c.local.day);
  }
}

TEST_F(Win32FileSystemTest, SetLastWriteTimeOfAMissingFileSaysSo) {
  for (const std::string& path : {root_ + "\\missing.txt", root_ + "\\missing\\a.txt"}) {
    try {
      fs.SetLastWriteTime(path, 45000.5);
      ADD_FAILURE() << path;
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "Die angegebene Datei wurde nicht gefunden") << path;
    }
  }
}

// A save goes to a temporary file beside its target, which then takes the
// target's place, also below MAX_PATH's reach.
TEST_F(Win32FileSystemTest, TemporaryFileTakesTheTargetsPlace) {
  std::string deep = root_;
  while (WideFromUtf8(deep).size() < 300) {
    deep += "\\Ordner mit langem Namen " + std::to_string(deep.size());
  }
  ASSERT_TRUE(CreateSubDirs(fs, deep + "\\"));
  for (const std::string& folder : {root_ + "\\", deep + "\\"}) {
    SCOPED_TRACE(folder);
    const std::string target = WriteFile(folder + "Angebot.pdf", "vorher");
    const std::string first = fs.TemporaryFileName(folder);
    EXPECT_EQ(ParentFolder(first), ParentFolder(target));  // beside the target
    EXPECT_LE(Utf16Length(first.substr(folder.size())), 24u);
    EXPECT_FALSE(fs.FileExists(first));
    WriteFile(first, "neu");
    const std::string second = fs.TemporaryFileName(folder);
    EXPECT_NE(first, second);
    WriteFile(second);

    fs.SetLastWriteTime(first, CivilToOleDate({2023, 11, 5, 14, 30, 15, 0}));
    fs.ReplaceFile(first, target);  // replaces the existing file
    EXPECT_FALSE(fs.FileExists(first));
    win32::unique_hfile file(::CreateFileW(NativePath(target).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    char bytes[16] = {};
    DWORD read = 0;
    ASSERT_TRUE(::ReadFile(file.Get(), bytes, sizeof bytes, &read, nullptr));
    EXPECT_EQ(std::string(bytes, read), "neu");
    file.Reset();
    SYSTEMTIME utc{};
    const FILETIME written = LastWriteTime(target);
    ASSERT_TRUE(::FileTimeToSystemTime(&written, &utc));
    EXPECT_EQ(utc.wYear, 2023);  // the time travels with the file

    EXPECT_TRUE(fs.RemoveFile(second));
    EXPECT_FALSE(fs.FileExists(second));
    EXPECT_FALSE(fs.RemoveFile(second));
  }
  EXPECT_THROW(fs.ReplaceFile(root_ + "\\missing.tmp", root_ + "\\a.pdf"), std::runtime_error);
}

// Windows counts a name's length in UTF-16 units; the names the export
// makes are cut by that count.
TEST_F(Win32FileSystemTest, NamesAreCutByWindowsCount) {
  const NameLimit limit = TargetNameLimit();
  EXPECT_EQ(limit.unit, LengthUnit::Utf16Units);
  EXPECT_EQ(limit.max, 255u);
  std::string clips, fitted;
  for (int i = 0; i < 130; ++i) clips += "\xF0\x9F\x93\x8E";  // U+1F4CE, a surrogate pair each
  for (int i = 0; i < 125; ++i) fitted += "\xF0\x9F\x93\x8E";
  EXPECT_EQ(engine::SanitizeName(clips + "_scan.pdf", false), fitted + ".pdf");  // 254 units
  EXPECT_EQ(engine::SanitizeName(clips, true), fitted + "\xF0\x9F\x93\x8E\xF0\x9F\x93\x8E");

  // At the limit a name is taken, one beyond it is not. (ASCII, since Wine
  // stores names in the host's bytes.)
  EXPECT_TRUE(fs.FileExists(WriteFile(root_ + "\\" + std::string(255, 'a'))));
  const std::string over_limit = root_ + "\\" + std::string(256, 'a');
  win32::unique_hfile over(::CreateFileW(NativePath(over_limit).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_FALSE(over);
}

}  // namespace
}  // namespace trovex
