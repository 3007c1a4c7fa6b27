// UTF-8 inside, UTF-16 at the Windows edge. Invalid input never fails: it
// becomes U+FFFD, as the system's converters do without strict flags.
#pragma once

#include <string>
#include <string_view>

namespace trovex::win32 {

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

}  // namespace trovex::win32
