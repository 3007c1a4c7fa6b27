#include "support/file_system.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "testing/fake_file_system.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/date_time.h"
#include "testing/temp_dir.h"
#endif

namespace trovex {
namespace {

using Levels = std::vector<std::string>;

TEST(WindowsSubDirLevels, ListsTheLevelsBelowDriveShareOrCurrentDirectory) {
  struct Case {
    std::string path;
    Levels levels;
  };
  const Case cases[] = {
      {"C:\\a\\b\\", {"C:\\a", "C:\\a\\b"}},                                 // trailing backslash
      {"C:\\a\\b", {"C:\\a", "C:\\a\\b"}},                                   // none
      {"C:\\", {}},                                                         // the drive itself
      {"C:", {}},                                                           // current directory of C:
      {"C:\\a\\\\", {"C:\\a"}},                                             // doubled trailing backslash
      {"C:\\a\\\\b", {"C:\\a", "C:\\a\\b"}},                                 // doubled inner backslash
      {"\\\\server\\share\\x\\y", {"\\\\server\\share\\x", "\\\\server\\share\\x\\y"}},
      {"\\\\server\\share\\x\\", {"\\\\server\\share\\x"}},                  // trailing backslash
      {"\\\\server\\share", {}},                                            // the share itself
      {"\\\\server\\share\\", {}},                                          //
      {"\\\\server", {}},                                                   // server alone
      {"\\\\", {}},                                                         //
      {"\\a\\b", {"\\a", "\\a\\b"}},                                         // root of the current drive
      {"a\\b", {"a", "a\\b"}},                                               // relative
      {"Export", {"Export"}},                                               // one relative level
      {"ab\\c", {"ab", "ab\\c"}},                                            // two letters are no drive
      {"", {}},                                                             // nothing
  };
  for (const auto& c : cases) EXPECT_EQ(WindowsSubDirLevels(c.path), c.levels) << c.path;
}

TEST(PosixSubDirLevels, ListsEveryLevelFromTheRoot) {
  struct Case {
    std::string path;
    Levels levels;
  };
  const Case cases[] = {
      {"/tmp/out\\Sub\\x", {"/tmp", "/tmp/out", "/tmp/out/Sub", "/tmp/out/Sub/x"}},  // mixed separators
      {"/tmp//out\\\\x\\", {"/tmp", "/tmp/out", "/tmp/out/x"}},                      // empty segments
      {"/", {}},                                                                    // the root
      {"out\\x", {"out", "out/x"}},                                                  // relative
      {"", {}},                                                                     // nothing
  };
  for (const auto& c : cases) EXPECT_EQ(PosixSubDirLevels(c.path), c.levels) << c.path;
}

using trovex::testing::FakeFileSystem;

#ifdef _WIN32
const std::string kDeep = "C:\\out\\a\\b";
const Levels kDeepLevels = {"C:\\out", "C:\\out\\a", "C:\\out\\a\\b"};
const std::string kRoot = "C:\\";
#else
const std::string kDeep = "/out\\a\\b";
const Levels kDeepLevels = {"/out", "/out/a", "/out/a/b"};
const std::string kRoot = "/";
#endif

TEST(CreateSubDirs, MakesEveryLevelOutermostFirst) {
  FakeFileSystem fs;
  fs.directories.insert(kDeepLevels[0]);  // an existing level counts as present
  EXPECT_TRUE(CreateSubDirs(fs, kDeep));
  EXPECT_EQ(fs.createCalls, kDeepLevels);
  EXPECT_EQ(fs.directories.size(), 3u);
}

TEST(CreateSubDirs, StopsAtTheFirstLevelThatIsNotPresent) {
  FakeFileSystem fs;
  fs.refusedDirectories.insert(kDeepLevels[1]);
  EXPECT_FALSE(CreateSubDirs(fs, kDeep));
  EXPECT_EQ(fs.createCalls, Levels(kDeepLevels.begin(), kDeepLevels.begin() + 2));
}

TEST(CreateSubDirs, PathWithoutLevelsMustExist) {
  FakeFileSystem fs;
  EXPECT_FALSE(CreateSubDirs(fs, kRoot));
  EXPECT_FALSE(CreateSubDirs(fs, ""));
  fs.directories.insert(kRoot);
  EXPECT_TRUE(CreateSubDirs(fs, kRoot));
  EXPECT_TRUE(fs.createCalls.empty());
}

#ifndef _WIN32

class RealFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Local times below are Berlin's, whatever the caller's zone.
    if (const char* tz = std::getenv("TZ")) oldTz_ = tz;
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
  }
  void TearDown() override {
    if (oldTz_) {
      ::setenv("TZ", oldTz_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }
  std::string Touch(const std::string& name) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path) << "x";
    return path;
  }
  struct stat Stat(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
  }

  const trovex::testing::TempDir temp_{"trovex-fs"};
  const std::string dir_ = temp_.path().string();
  std::optional<std::string> oldTz_;
  FileSystem& fs_ = RealFileSystem();
};

TEST_F(RealFileSystemTest, TellsFilesFromDirectories) {
  const std::string file = Touch("a.txt");
  std::filesystem::create_symlink(file, dir_ + "/link");
  std::filesystem::create_symlink(dir_ + "/gone", dir_ + "/dangling");
  EXPECT_TRUE(fs_.FileExists(file));
  EXPECT_TRUE(fs_.FileExists(dir_ + "/link"));  // links are followed
  EXPECT_FALSE(fs_.FileExists(dir_ + "/dangling"));
  EXPECT_FALSE(fs_.FileExists(dir_));
  EXPECT_FALSE(fs_.FileExists(dir_ + "/missing"));
  EXPECT_TRUE(fs_.DirectoryExists(dir_));
  EXPECT_FALSE(fs_.DirectoryExists(file));
  EXPECT_TRUE(fs_.CreateDirectory(dir_ + "\\new"));  // engine-form separator
  EXPECT_TRUE(fs_.DirectoryExists(dir_ + "/new"));
  EXPECT_FALSE(fs_.CreateDirectory(dir_ + "/new"));  // exists already
}

TEST_F(RealFileSystemTest, CreateSubDirsMakesNestedFoldersWithoutChangingDirectory) {
  const auto cwd = std::filesystem::current_path();
  EXPECT_TRUE(CreateSubDirs(fs_, dir_ + "\\Anhänge\\2024-03\\"));
  EXPECT_TRUE(std::filesystem::is_directory(dir_ + "/Anhänge/2024-03"));
  EXPECT_TRUE(CreateSubDirs(fs_, dir_ + "\\Anhänge"));  // all present already
  EXPECT_EQ(std::filesystem::current_path(), cwd);

  Touch("blocker");
  EXPECT_FALSE(CreateSubDirs(fs_, dir_ + "\\blocker\\sub"));
}

TEST_F(RealFileSystemTest, SetLastWriteTimeTakesLocalTime) {
  struct Case {
    CivilTime local;
    time_t utcSeconds;
  };
  const Case cases[] = {
      {{2024, 7, 15, 12, 34, 56, 250}, 1721039696},  // summer time, UTC+2: 10:34:56 UTC
      {{2024, 1, 15, 12, 34, 56, 0}, 1705318496},    // winter time, UTC+1: 11:34:56 UTC
  };
  const std::string file = Touch("mail.pdf");
  for (const auto& c : cases) {
    fs_.SetLastWriteTime(file, CivilToOleDate(c.local));
    const struct stat st = Stat(file);
    EXPECT_EQ(st.st_mtim.tv_sec, c.utcSeconds) << FormatIsoDate(c.local);
    EXPECT_EQ(st.st_mtim.tv_nsec, c.local.millisecond * 1'000'000L) << FormatIsoDate(c.local);
  }
}

TEST_F(RealFileSystemTest, SetLastWriteTimeLeavesAccessTimeAndReportsMissingFiles) {
  const std::string file = Touch("a.txt");
  const timespec times[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  fs_.SetLastWriteTime(file, CivilToOleDate({2024, 3, 5, 9, 0, 0, 0}));
  EXPECT_EQ(Stat(file).st_atim.tv_sec, 1'000'000'000);

  try {
    fs_.SetLastWriteTime(dir_ + "/missing.pdf", 45356.5);
    FAIL() << "no exception";
  } catch (const std::system_error&) {
    FAIL() << "a missing file is not a system error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Die angegebene Datei wurde nicht gefunden");
  }
}

#endif

}  // namespace
}  // namespace trovex
