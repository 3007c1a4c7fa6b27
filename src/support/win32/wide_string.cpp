#include "support/win32/wide_string.h"

#include <windows.h>

#include <limits>
#include <new>
#include <stdexcept>

#include "support/win32/win32_handles.h"

namespace trovex::win32 {
namespace {

int CheckedLength(std::size_t size) {
  if (size > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    throw std::length_error("Text zu lang für die Umwandlung");
  }
  return static_cast<int>(size);
}

}  // namespace

std::wstring WideFromUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int length = CheckedLength(text.size());
  const int needed = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(needed), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, out.data(), needed);
  return out;
}

std::string Utf8FromWide(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = CheckedLength(text.size());
  const int needed = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(needed), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), needed, nullptr, nullptr);
  return out;
}

std::string Utf8FromBstr(BSTR text) { return text ? Utf8FromWide({text, ::SysStringLen(text)}) : std::string(); }

unique_bstr MakeBstr(std::wstring_view text) {
  unique_bstr b(::SysAllocStringLen(text.data(), static_cast<UINT>(CheckedLength(text.size()))));
  if (!b) throw std::bad_alloc();
  return b;
}

}  // namespace trovex::win32
