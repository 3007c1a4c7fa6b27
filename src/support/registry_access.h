// The access mask with which registry reads open a key, decided without
// Windows so that the WOW64 view rule can be tested everywhere.
#pragma once

#include <string_view>

namespace trovex {

inline constexpr unsigned kRegistryKeyRead = 0x20019;   // KEY_READ
inline constexpr unsigned kRegistryKeyWrite = 0x20006;  // KEY_WRITE
inline constexpr unsigned kRegistryView64 = 0x100;      // KEY_WOW64_64KEY
inline constexpr unsigned kRegistryView32 = 0x200;      // KEY_WOW64_32KEY

// KEY_READ, plus for a 32-bit process on 64-bit Windows a view flag: the
// 32-bit view when the key path names "WOW6432Node" (in any case), the
// 64-bit view otherwise, so that such a process reads what 64-bit Office
// and Windows wrote.
unsigned RegistryReadAccess(std::string_view keyPath, bool isWow64);

}  // namespace trovex
