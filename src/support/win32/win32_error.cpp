#include "support/win32/win32_error.h"

#include <oleauto.h>

#include <fmt/format.h>

#include "support/win32/com_ptr.h"
#include "support/win32/wide_string.h"
#include "support/win32/win32_handles.h"

namespace trovex::win32 {

std::string SystemMessage(HRESULT code) {
  wchar_t* buffer = nullptr;
  // A FACILITY_WIN32 HRESULT has the same text as its Win32 code.
  const DWORD id = HRESULT_FACILITY(code) == FACILITY_WIN32 ? HRESULT_CODE(code) : static_cast<DWORD>(code);
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, id,
      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer ? std::wstring_view(buffer, length) : std::wstring_view{});
  if (buffer) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
  if (text.empty()) return fmt::format("Fehler 0x{:08X}", static_cast<unsigned long>(code));
  return Utf8FromWide(text);
}

HRESULT LastErrorResult() {
  const DWORD error = ::GetLastError();
  // A call that failed without setting an error still failed.
  return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

void ThrowWin32Error(HRESULT code, std::string_view what) {
  const std::string message = SystemMessage(code);
  throw Win32Error(code, what.empty() ? message : fmt::format("{}: {}", what, message));
}

void ThrowLastError(std::string_view what) { ThrowWin32Error(LastErrorResult(), what); }

std::string TakeErrorInfoDescription() {
  ComPtr<IErrorInfo> info;
  if (::GetErrorInfo(0, info.Put()) != S_OK || !info) return {};
  unique_bstr description;
  if (FAILED(info->GetDescription(description.Put())) || !description) return {};
  return Utf8FromBstr(description.Get());
}

void ThrowIfFailed(HRESULT code, std::string_view what) {
  if (SUCCEEDED(code)) return;
  std::string message = TakeErrorInfoDescription();
  if (message.empty()) message = SystemMessage(code);
  throw ComError(code, what.empty() ? message : fmt::format("{}: {}", what, message));
}

}  // namespace trovex::win32
