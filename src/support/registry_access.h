// The access masks with which the Windows registry backend opens keys,
// decided without Windows so that the WOW64 view rules can be tested
// everywhere. Every operation of one backend takes the same view of a key,
// so that a check and the write after it look at the same key.
#pragma once

#include <string_view>

namespace trovex {

inline constexpr unsigned kRegistryKeyRead = 0x20019;   // KEY_READ
inline constexpr unsigned kRegistryKeyWrite = 0x20006;  // KEY_WRITE
inline constexpr unsigned kRegistryView64 = 0x100;      // KEY_WOW64_64KEY
inline constexpr unsigned kRegistryView32 = 0x200;      // KEY_WOW64_32KEY

enum class RegistryOperation {
  Read,    // values and existence; never creates
  Write,   // creates the key with missing parents
  Delete,  // the view alone, as RegDeleteKeyExW takes it
};

enum class RegistryViewRule {
  // For a 32-bit process on 64-bit Windows, the 32-bit view when the key
  // path names "WOW6432Node" (in any case), the 64-bit view otherwise, so
  // that such a process sees what 64-bit Office and Windows wrote.
  ByPath,
  // The process's own view, never a flag: a 32-bit in-process server's
  // classes and add-in keys belong where 32-bit Office looks for them.
  Own,
};

unsigned RegistryAccess(RegistryOperation operation, std::string_view keyPath, bool isWow64, RegistryViewRule rule);

}  // namespace trovex
