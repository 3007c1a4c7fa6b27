// Small helpers shared by the benchmark programs: a temp dir that cleans up
// after itself, wall and CPU clocks, RSS figures from /proc, a seeded PRNG.
#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

namespace trovex::bench {

namespace fs = std::filesystem;

// splitmix64: fast, seedable, same stream on every platform, so generated
// data and therefore the figures are repeatable.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // In [lo, hi].
  std::size_t Between(std::size_t lo, std::size_t hi) { return lo + static_cast<std::size_t>(Next() % (hi - lo + 1)); }

 private:
  std::uint64_t state_;
};

// A fresh directory below $TMPDIR (or under `parent` when given), removed
// with everything in it on destruction unless kept.
class TempDir {
 public:
  explicit TempDir(const std::string& prefix, const fs::path& parent = {}) {
    fs::path base = parent.empty() ? fs::temp_directory_path() : parent;
    fs::create_directories(base);
    std::string pattern = (base / (prefix + "XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) throw std::system_error(errno, std::generic_category(), pattern);
    path_ = pattern;
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    if (keep_) return;
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& Path() const { return path_; }
  void Keep() { keep_ = true; }

 private:
  fs::path path_;
  bool keep_ = false;
};

using Clock = std::chrono::steady_clock;

inline double MillisSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Process CPU time, to tell kernel work (file I/O) from our own.
struct CpuTimes {
  double userMs = 0;
  double sysMs = 0;
  static CpuTimes Now() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& tv) { return static_cast<double>(tv.tv_sec) * 1e3 + static_cast<double>(tv.tv_usec) / 1e3; };
    return {ms(usage.ru_utime), ms(usage.ru_stime)};
  }
  CpuTimes operator-(const CpuTimes& o) const { return {userMs - o.userMs, sysMs - o.sysMs}; }
};

// A "VmRSS:" / "VmHWM:" figure of /proc/self/status in KiB; -1 if absent.
inline long ProcStatusKb(std::string_view key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, key.size(), key) == 0 && line.size() > key.size() && line[key.size()] == ':')
      return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
  }
  return -1;
}

inline long RssKb() { return ProcStatusKb("VmRSS"); }
inline long PeakRssKb() { return ProcStatusKb("VmHWM"); }

// ru_maxrss: the peak over the whole process, KiB on Linux.
inline long MaxRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Peak RSS seen before the last ResetPeakRss, which also resets ru_maxrss.
inline long& PeakBeforeResetKb() {
  static long kb = 0;
  return kb;
}

// Resets VmHWM to the current RSS, so the peak of one phase can be read
// alone (Linux 4.0+); false where the kernel refuses.
inline bool ResetPeakRss() {
  PeakBeforeResetKb() = std::max({PeakBeforeResetKb(), PeakRssKb(), MaxRssKb()});
  std::ofstream out("/proc/self/clear_refs");
  out << "5";
  out.flush();
  return static_cast<bool>(out);
}

// The peak over the whole process, resets notwithstanding.
inline long ProcessPeakRssKb() { return std::max({PeakBeforeResetKb(), PeakRssKb(), MaxRssKb()}); }

// Asks ext4 to place the subdirectories of `dir` in block groups of their
// own, as it does for top-level directories; it picks the group from a hash
// of the name, so subdirectories need names no earlier run used
// (UniqueName). Why: without a journal ext4 skips, on every create, each
// inode of the group freed in the last seconds (minutes while its table
// block is dirty), so right after a run deleted its thousands of files,
// creating files beside them costs ten times as much. False where the file
// system has no such flag (tmpfs).
inline bool SpreadSubdirectories(const fs::path& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags |= FS_TOPDIR_FL;
    ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return ok;
}

// `base` made unique with the random part of a TempDir's name.
inline std::string UniqueName(std::string_view base, const TempDir& dir) {
  const std::string tag = dir.Path().filename().string();
  return std::string(base) + "-" + tag.substr(tag.size() >= 6 ? tag.size() - 6 : 0);
}

// Microseconds to create one empty file, over `count` files in a fresh
// subdirectory of `dir`: tells a file system that creates slowly just now.
inline double CreateProbeMicros(const TempDir& dir, int count = 200) {
  const fs::path probe = dir.Path() / UniqueName("probe", dir);
  fs::create_directory(probe);
  const auto start = Clock::now();
  for (int i = 0; i < count; ++i) {
    const int fd = ::open((probe / std::to_string(i)).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd >= 0) ::close(fd);
  }
  return MillisSince(start) * 1000.0 / count;
}

inline double Mb(double bytes) { return bytes / (1024.0 * 1024.0); }

// Name of the file system holding `path`, for reading the figures right.
inline std::string FileSystemType(const fs::path& path) {
  struct statfs info {};
  if (::statfs(path.c_str(), &info) != 0) return "?";
  switch (static_cast<unsigned long>(info.f_type)) {
    case 0xEF53: return "ext4";
    case 0x01021994: return "tmpfs";
    case 0x58465342: return "xfs";
    case 0x9123683E: return "btrfs";
    case 0x794C7630: return "overlayfs";
    default: return "other";
  }
}

}  // namespace trovex::bench
