// FileSystem over the Win32 file API; every path passes through NativePath,
// so paths beyond MAX_PATH work as well.
#include <windows.h>

#include <random>
#include <stdexcept>

#include <fmt/format.h>

#include "support/date_time.h"
#include "support/file_system.h"
#include "support/name_limit.h"
#include "support/native_path.h"
#include "support/win32/win32_error.h"
#include "support/win32/win32_handles.h"

namespace trovex {
namespace {

DWORD Attributes(const std::string& path) { return ::GetFileAttributesW(NativePath(path).c_str()); }

SYSTEMTIME ToSystemTime(const CivilTime& t) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(t.year);
  st.wMonth = static_cast<WORD>(t.month);
  st.wDay = static_cast<WORD>(t.day);
  st.wHour = static_cast<WORD>(t.hour);
  st.wMinute = static_cast<WORD>(t.minute);
  st.wSecond = static_cast<WORD>(t.second);
  st.wMilliseconds = static_cast<WORD>(t.millisecond);
  return st;
}

class Win32FileSystem final : public FileSystem {
 public:
  bool FileExists(const std::string& path) override {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }

  bool DirectoryExists(const std::string& path) override {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  bool CreateDirectory(const std::string& path) override {
    return ::CreateDirectoryW(NativePath(path).c_str(), nullptr) != FALSE;
  }

  void SetLastWriteTime(const std::string& path, double localOleDate) override {
    const CivilTime civil = OleDateToCivil(localOleDate);
    if (civil.year < 1601 || civil.year > 30827) {
      win32::ThrowWin32Error(E_INVALIDARG, path);
    }
    const SYSTEMTIME local = ToSystemTime(civil);
    SYSTEMTIME utc{};
    // The zone's rule for that date (summer or winter time) decides.
    if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc)) win32::ThrowLastError(path);
    FILETIME written{};
    if (!::SystemTimeToFileTime(&utc, &written)) win32::ThrowLastError(path);
    win32::unique_hfile file(::CreateFileW(NativePath(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        throw std::runtime_error("Die angegebene Datei wurde nicht gefunden");
      }
      win32::ThrowWin32Error(HRESULT_FROM_WIN32(error), path);
    }
    if (!::SetFileTime(file.Get(), nullptr, nullptr, &written)) win32::ThrowLastError(path);
  }

  std::string TemporaryFileName(const std::string& folder) override {
    for (;;) {
      std::string path = fmt::format("{}~trovex-{:08x}.tmp", folder, random_());
      if (Attributes(path) == INVALID_FILE_ATTRIBUTES) return path;
    }
  }

  void ReplaceFile(const std::string& from, const std::string& to) override {
    if (!::MoveFileExW(NativePath(from).c_str(), NativePath(to).c_str(), MOVEFILE_REPLACE_EXISTING)) {
      win32::ThrowLastError(to);
    }
  }

  bool RemoveFile(const std::string& path) override { return ::DeleteFileW(NativePath(path).c_str()) != FALSE; }

 private:
  std::mt19937 random_{std::random_device{}()};
};

}  // namespace

FileSystem& RealFileSystem() {
  static Win32FileSystem fs;
  return fs;
}

std::vector<std::string> SubDirLevels(const std::string& path) { return WindowsSubDirLevels(path); }

// NTFS, ReFS, FAT with long names, exFAT: 255 UTF-16 units per component.
NameLimit TargetNameLimit() { return {LengthUnit::Utf16Units, 255}; }

}  // namespace trovex
