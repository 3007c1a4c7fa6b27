// Failures of Windows and COM calls as exceptions, each carrying the
// HRESULT and the system's or the object's own message text.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <stdexcept>
#include <string>
#include <string_view>

namespace trovex::win32 {

class Win32Error : public std::runtime_error {
 public:
  Win32Error(HRESULT code, const std::string& message) : std::runtime_error(message), code_(code) {}
  HRESULT Code() const noexcept { return code_; }

 private:
  HRESULT code_;
};

// A failed COM call; the text comes from IErrorInfo or EXCEPINFO when the
// object supplied one.
class ComError : public Win32Error {
 public:
  using Win32Error::Win32Error;
};

// The system's text for an HRESULT (or a Win32 error turned into one), in
// the user's language, without the trailing line break; "Fehler 0x...."
// when the system has none.
std::string SystemMessage(HRESULT code);

// GetLastError() as an HRESULT.
HRESULT LastErrorResult();

// Throws Win32Error for GetLastError(), the message prefixed by `what`
// ("what: system text") when `what` is not empty.
[[noreturn]] void ThrowLastError(std::string_view what);
[[noreturn]] void ThrowWin32Error(HRESULT code, std::string_view what);

// The description of the thread's current IErrorInfo, taken (and so
// cleared); empty when there is none.
std::string TakeErrorInfoDescription();

// Throws ComError for a failed `code`: the text of IErrorInfo when set,
// else the system's text.
void ThrowIfFailed(HRESULT code, std::string_view what = {});

}  // namespace trovex::win32
