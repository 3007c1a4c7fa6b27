#include "host/scratch_folder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "support/native_path.h"
#include "support/win32/wide_string.h"
#include "support/win32/win32_handles.h"

namespace trovex::wine_host {
namespace {

// Everything below `folder`, then `folder`; each call through the
// long-path form, which std::filesystem does not use on its own.
void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAW found{};
  const win32::unique_hfind search(::FindFirstFileW((NativePath(folder).wstring() + L"\\*").c_str(), &found));
  if (search) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::string child = folder;
      child.push_back('\\');
      child.append(win32::Utf8FromWide(name));
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        ::SetFileAttributesW(NativePath(child).c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(NativePath(child).c_str());
      }
    } while (::FindNextFileW(search.Get(), &found));
  }
  ::RemoveDirectoryW(NativePath(folder).c_str());
}

}  // namespace

std::wstring TempFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
  if (n == 0 || n > MAX_PATH) ADD_FAILURE() << "no temporary folder";
  return temp;
}

ScratchFolder::ScratchFolder(std::string_view name) : path_(win32::Utf8FromWide(TempFolder())) {
  path_.append(name).append("-").append(std::to_string(::GetCurrentProcessId()));
  RemoveTree(path_);
  if (!::CreateDirectoryW(NativePath(path_).c_str(), nullptr)) {
    ADD_FAILURE() << "cannot make " << path_ << ", error " << ::GetLastError();
  }
}

ScratchFolder::~ScratchFolder() {
  RemoveTree(path_);
  // Something still open inside (a handle the code under test kept).
  if (::GetFileAttributesW(NativePath(path_).c_str()) != INVALID_FILE_ATTRIBUTES) {
    ADD_FAILURE() << "cannot remove " << path_;
  }
}

std::filesystem::path ScratchFolder::Native() const { return NativePath(path_); }

std::string ScratchFolder::MakeFolders(std::string_view relative) const {
  std::string folder = path_;
  std::size_t start = 0;
  while (start <= relative.size()) {
    const std::size_t end = std::min(relative.find('\\', start), relative.size());
    folder.push_back('\\');
    folder.append(relative.substr(start, end - start));
    ::CreateDirectoryW(NativePath(folder).c_str(), nullptr);
    start = end + 1;
  }
  return folder;
}

}  // namespace trovex::wine_host
