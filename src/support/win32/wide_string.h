// UTF-8 inside, UTF-16 at the Windows edge. Invalid input never fails: it
// becomes U+FFFD, as the system's converters do without strict flags.
#pragma once

#include <wtypes.h>

#include <string>
#include <string_view>

namespace trovex::win32 {

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);
// The whole BSTR (its length prefix, not the first null); null is empty.
std::string Utf8FromBstr(BSTR text);

}  // namespace trovex::win32
