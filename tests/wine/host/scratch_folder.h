// A fresh folder below %TEMP% for one test, removed with everything below
// it when the test is done, however deep (paths beyond MAX_PATH included).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace trovex::wine_host {

class ScratchFolder {
 public:
  // `name` (UTF-8, any characters a Windows name may hold) is made unique
  // with the process id; what an earlier run left there goes first.
  explicit ScratchFolder(std::string_view name);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The engine's form: UTF-8, backslashes, no trailing backslash.
  const std::string& Path() const { return path_; }
  // The same for std::filesystem and the wide Windows calls.
  std::filesystem::path Native() const;

  // Makes `path` below the folder one level at a time, each through the
  // long-path form; the engine's form of it.
  std::string MakeFolders(std::string_view relative) const;

 private:
  std::string path_;
};

// %TEMP% with its trailing backslash, as GetTempPathW gives it.
std::wstring TempFolder();

}  // namespace trovex::wine_host
