// The process environment through the wide API: getenv would answer in the
// ANSI code page.
#include <windows.h>

#include "support/text_utils.h"
#include "support/win32/wide_string.h"

namespace trovex {

std::optional<std::string> EnvironmentValue(const std::string& name) {
  const std::wstring wname = win32::WideFromUtf8(name);
  ::SetLastError(ERROR_SUCCESS);
  const DWORD needed = ::GetEnvironmentVariableW(wname.c_str(), nullptr, 0);
  if (needed == 0) {
    if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::string();
  }
  std::wstring value(needed, L'\0');
  const DWORD written = ::GetEnvironmentVariableW(wname.c_str(), value.data(), needed);
  if (written >= needed) return std::nullopt;  // changed between the calls
  value.resize(written);
  return win32::Utf8FromWide(value);
}

// The system's own rules for names; a failed expansion keeps the text.
std::string ExpandProcessEnvironment(std::string_view text) {
  const std::wstring source = win32::WideFromUtf8(text);
  const DWORD needed = ::ExpandEnvironmentStringsW(source.c_str(), nullptr, 0);
  if (needed == 0) return std::string(text);
  std::wstring expanded(needed, L'\0');
  const DWORD written = ::ExpandEnvironmentStringsW(source.c_str(), expanded.data(), needed);
  if (written == 0 || written > needed) return std::string(text);
  expanded.resize(written - 1);  // the count includes the terminating NUL
  return win32::Utf8FromWide(expanded);
}

}  // namespace trovex
