// Wide paths for the Windows API; long absolute paths get the
// extended-length prefix so that every file call accepts them.
#include <windows.h>

#include <string>

#include "support/long_path.h"
#include "support/native_path.h"
#include "support/win32/wide_string.h"

namespace trovex {
namespace {

// The prefixed form skips the system's normalisation, so it is done here:
// "/" to "\", "." and ".." levels, doubled separators.
std::wstring FullPath(const std::wstring& path) {
  const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring full(needed, L'\0');
  const DWORD written = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (written == 0 || written >= needed) return path;
  full.resize(written);
  return full;
}

}  // namespace

std::filesystem::path NativePath(std::string_view path) {
  std::wstring wide = win32::WideFromUtf8(path);
  if (!NeedsExtendedLengthForm(path)) return std::filesystem::path(std::move(wide));
  const std::string full = win32::Utf8FromWide(FullPath(wide));
  return std::filesystem::path(win32::WideFromUtf8(ExtendedLengthForm(full).value_or(full)));
}

}  // namespace trovex
