// An in-memory file system that records what was done to it.
#pragma once

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/file_system.h"

namespace trovex::testing {

class FakeFileSystem : public FileSystem {
 public:
  std::set<std::string> files;
  std::set<std::string> directories;
  std::set<std::string> refusedDirectories;  // CreateDirectory fails for these, though they do not exist
  std::vector<std::string> createCalls;       // every CreateDirectory, in order
  std::map<std::string, double> times;
  long existenceChecks = 0;
  int temporaries = 0;

  bool FileExists(const std::string& path) override {
    ++existenceChecks;
    return files.count(path) > 0;
  }
  // A folder may be asked for with its trailing separator.
  bool DirectoryExists(const std::string& path) override {
    if (directories.count(path)) return true;
    std::string p = path;
    while (p.size() > 1 && p.back() == '\\') p.pop_back();
    return directories.count(p) > 0;
  }
  bool CreateDirectory(const std::string& path) override {
    createCalls.push_back(path);
    if (refusedDirectories.count(path) || directories.count(path)) return false;
    directories.insert(path);
    return true;
  }
  void SetLastWriteTime(const std::string& path, double localOleDate) override {
    if (!files.count(path)) throw std::runtime_error("Die angegebene Datei wurde nicht gefunden");
    times[path] = localOleDate;
  }
  std::string TemporaryFileName(const std::string& folder) override {
    return folder + "~tmp" + std::to_string(++temporaries);
  }
  void ReplaceFile(const std::string& from, const std::string& to) override {
    if (!files.erase(from)) throw std::runtime_error("missing " + from);
    files.insert(to);
    if (auto t = times.extract(from)) times[to] = t.mapped();
  }
  bool RemoveFile(const std::string& path) override { return files.erase(path) > 0; }
};

}  // namespace trovex::testing
