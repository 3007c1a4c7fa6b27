// FileSystem over POSIX calls; paths come in the engine's form and pass
// through NativePath.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <random>
#include <stdexcept>
#include <system_error>

#include <fmt/format.h>

#include "support/date_time.h"
#include "support/file_system.h"
#include "support/name_limit.h"
#include "support/native_path.h"

namespace trovex {
namespace {

class PosixFileSystem final : public FileSystem {
 public:
  bool FileExists(const std::string& path) override {
    struct stat st {};
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }

  bool DirectoryExists(const std::string& path) override {
    struct stat st {};
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  bool CreateDirectory(const std::string& path) override {
    return ::mkdir(NativePath(path).c_str(), 0777) == 0;
  }

  void SetLastWriteTime(const std::string& path, double localOleDate) override {
    const CivilTime t = OleDateToCivil(localOleDate);
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;  // the zone's rule for that date decides
    errno = 0;
    const std::time_t seconds = std::mktime(&tm);
    // -1 is also one second before the epoch; only errno tells them apart.
    if (seconds == static_cast<std::time_t>(-1) && errno != 0) {
      throw std::system_error(errno, std::generic_category(), path);
    }
    timespec times[2]{};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = seconds;
    times[1].tv_nsec = static_cast<long>(t.millisecond) * 1'000'000;
    if (::utimensat(AT_FDCWD, NativePath(path).c_str(), times, 0) != 0) {
      if (errno == ENOENT) throw std::runtime_error("Die angegebene Datei wurde nicht gefunden");
      throw std::system_error(errno, std::generic_category(), path);
    }
  }

  std::string TemporaryFileName(const std::string& folder) override {
    for (;;) {
      std::string path = fmt::format("{}.trovex-{:08x}.tmp", folder, random_());
      struct stat st {};
      if (::lstat(NativePath(path).c_str(), &st) != 0) return path;
    }
  }

  void ReplaceFile(const std::string& from, const std::string& to) override {
    if (::rename(NativePath(from).c_str(), NativePath(to).c_str()) != 0)
      throw std::system_error(errno, std::generic_category(), to);
  }

  bool RemoveFile(const std::string& path) override { return ::unlink(NativePath(path).c_str()) == 0; }

 private:
  std::mt19937 random_{std::random_device{}()};
};

}  // namespace

FileSystem& RealFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

std::vector<std::string> SubDirLevels(const std::string& path) { return PosixSubDirLevels(path); }

// NAME_MAX of Linux's file systems (ext4, XFS, Btrfs, tmpfs): bytes.
NameLimit TargetNameLimit() { return {LengthUnit::Utf8Bytes, 255}; }

}  // namespace trovex
