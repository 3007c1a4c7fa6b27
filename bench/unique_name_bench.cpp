// unique_name_bench: N attachments with the same own name exported to one
// folder with the counter option. Counts the existence checks that
// TargetNaming::UniqueFileName makes, against a naive first-free search, and
// checks the names it hands out. Prints figures; asserts nothing about time.
#include <CLI/CLI.hpp>
#include <fcntl.h>
#include <fmt/format.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_set>
#include <vector>

#include "bench_support.h"
#include "engine/target_naming.h"
#include "support/file_system.h"
#include "support/native_path.h"

namespace {

using namespace trovex;
using namespace trovex::bench;

// Files only as names in a set: isolates the search from the kernel.
class MemoryFileSystem final : public FileSystem {
 public:
  bool FileExists(const std::string& path) override { return files_.contains(path); }
  bool DirectoryExists(const std::string&) override { return true; }
  bool CreateDirectory(const std::string&) override { return false; }
  void SetLastWriteTime(const std::string&, double) override {}
  std::string TemporaryFileName(const std::string& folder) override { return folder + "~tmp"; }
  void ReplaceFile(const std::string&, const std::string&) override {}
  bool RemoveFile(const std::string&) override { return false; }
  bool Create(const std::string& path) { return files_.insert(path).second; }

 private:
  std::unordered_set<std::string> files_;
};

// Counts the existence checks of whatever file system it wraps.
class CountingFileSystem final : public FileSystem {
 public:
  explicit CountingFileSystem(FileSystem& inner) : inner_(inner) {}
  bool FileExists(const std::string& path) override {
    ++fileExists_;
    return inner_.FileExists(path);
  }
  bool DirectoryExists(const std::string& path) override { return inner_.DirectoryExists(path); }
  bool CreateDirectory(const std::string& path) override { return inner_.CreateDirectory(path); }
  void SetLastWriteTime(const std::string& path, double date) override { inner_.SetLastWriteTime(path, date); }
  std::string TemporaryFileName(const std::string& folder) override { return inner_.TemporaryFileName(folder); }
  void ReplaceFile(const std::string& from, const std::string& to) override { inner_.ReplaceFile(from, to); }
  bool RemoveFile(const std::string& path) override { return inner_.RemoveFile(path); }
  std::uint64_t FileExistsCalls() const { return fileExists_; }

 private:
  FileSystem& inner_;
  std::uint64_t fileExists_ = 0;
};

// An empty file, as the export would write one; false if it was there.
bool CreateEmptyFile(const std::string& enginePath) {
  const int fd = ::open(NativePath(enginePath).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

std::string ExpectedName(std::uint64_t k) { return k == 0 ? "a.pdf" : fmt::format("a_{}.pdf", k); }

struct Result {
  double ms = 0;
  std::uint64_t checks = 0;
  bool namesOk = true;
};

// `count` names for "a.pdf" from one naming object (one export run) into a
// folder that already holds `already` of them ("a.pdf" .. "a_{already-1}.pdf").
template <typename CreateFn>
Result NameMany(FileSystem& inner, const std::string& folder, std::uint64_t already, std::uint64_t count,
                CreateFn create) {
  CountingFileSystem fs(inner);
  engine::TargetNaming naming(fs);
  Result r;
  const auto start = Clock::now();
  for (std::uint64_t k = already; k < already + count; ++k) {
    const std::string name = naming.UniqueFileName(folder, "a.pdf");
    if (name != ExpectedName(k) || !create(folder + name)) r.namesOk = false;
  }
  r.ms = MillisSince(start);
  r.checks = fs.FileExistsCalls();
  return r;
}

struct Options {
  std::vector<std::uint64_t> sizes{1000, 10000};
  std::string dir;
  bool disk = true;
};

int Run(const Options& o) {
  fmt::print("unique_name_bench: N attachments all named \"a.pdf\" into one folder, counter on, one export run\n");
  fmt::print("  first: empty folder, names a.pdf, a_1.pdf .. a_(N-1).pdf\n");
  fmt::print("  rerun: a second run into the same folder, which holds those N already: a_N.pdf .. a_(2N-1).pdf\n\n");
  fmt::print("{:<7} {:<6} {:>7} {:>10} {:>12} {:>11} {:>14} {:>7}\n", "fs", "run", "N", "time ms", "us per name",
             "FileExists", "naive checks", "names");
  bool ok = true;
  const auto print = [&](std::string_view fsName, std::string_view run, std::uint64_t n, std::uint64_t already,
                         const Result& r) {
    // A first-free search from "a.pdf" on tries k+1 names for the k-th file.
    const std::uint64_t naive = (already + n) * (already + n + 1) / 2 - already * (already + 1) / 2;
    fmt::print("{:<7} {:<6} {:>7} {:>10.2f} {:>12.3f} {:>11} {:>14} {:>7}\n", fsName, run, n, r.ms,
               r.ms * 1000.0 / static_cast<double>(n), r.checks, naive, r.namesOk ? "OK" : "FAIL");
    ok = ok && r.namesOk;
  };

  for (const std::uint64_t n : o.sizes) {
    MemoryFileSystem memory;
    const std::string folder = "C:\\Export\\";
    const auto create = [&](const std::string& path) { return memory.Create(path); };
    print("memory", "first", n, 0, NameMany(memory, folder, 0, n, create));
    print("memory", "rerun", n, n, NameMany(memory, folder, n, n, create));
  }
  if (o.disk) {
    for (const std::uint64_t n : o.sizes) {
      TempDir dir("trovex-unique-name-bench-", o.dir.empty() ? fs::path() : fs::path(o.dir));
      SpreadSubdirectories(dir.Path());
      const fs::path out = dir.Path() / UniqueName("out", dir);
      fs::create_directory(out);
      // The engine's form: a backslash ends the folder.
      const std::string folder = out.string() + "\\";
      print("disk", "first", n, 0, NameMany(RealFileSystem(), folder, 0, n, CreateEmptyFile));
      print("disk", "rerun", n, n, NameMany(RealFileSystem(), folder, n, n, CreateEmptyFile));
    }
    fmt::print("\ndisk: real files (empty) in a temp dir on {}; the time includes creating them\n",
               FileSystemType(o.dir.empty() ? fs::temp_directory_path() : fs::path(o.dir)));
  }
  fmt::print("names: {}\n", ok ? "OK" : "FAIL");
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App cli{"Times TargetNaming::UniqueFileName for N equally named attachments in one folder and counts "
               "its existence checks, in memory and on disk.",
               "unique_name_bench"};
  Options o;
  cli.add_option("--sizes", o.sizes, "values of N")->capture_default_str()->check(CLI::PositiveNumber);
  cli.add_option("--dir", o.dir, "parent of the temp dirs for the disk runs (default: the temp dir)");
  cli.add_flag("--disk,!--no-disk", o.disk, "also run on the real file system")->capture_default_str();
  CLI11_PARSE(cli, argc, argv);
  try {
    return Run(o);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "unique_name_bench: %s\n", e.what());
    return 2;
  }
}
