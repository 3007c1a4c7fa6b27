// The Windows registry behind the Registry interface.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "support/registry.h"
#include "support/registry_access.h"

namespace trovex::win32 {

// True for a 32-bit process on 64-bit Windows. Asked anew on every call;
// false where the system lacks IsWow64Process. Throws Win32Error when
// kernel32 cannot be loaded or the query fails.
bool IsWow64();

// The hive of `root`; nullptr for a value that names none.
HKEY RootKey(RegistryRoot root);

// No key stays open between calls. Reads open with KEY_READ, never
// creating; writes open with KEY_WRITE through RegCreateKeyExW, creating
// missing parents; every operation in the view its rule gives the key
// (RegistryAccess), the same for a read, a write and a delete.
class Win32Registry final : public Registry {
 public:
  explicit Win32Registry(RegistryViewRule rule = RegistryViewRule::ByPath) : rule_(rule) {}

  std::string ReadRegString(RegistryRoot root, std::string_view key, std::string_view name) override;
  bool ReadRegBool(RegistryRoot root, std::string_view key, std::string_view name) override;
  bool WriteRegString(RegistryRoot root, std::string_view key, std::string_view name,
                      std::string_view value) override;
  bool WriteRegBool(RegistryRoot root, std::string_view key, std::string_view name, bool value) override;
  std::optional<std::uint32_t> ReadRegDword(RegistryRoot root, std::string_view key, std::string_view name) override;
  bool WriteRegDword(RegistryRoot root, std::string_view key, std::string_view name, std::uint32_t value) override;
  // Opened as a read would open it, in the same view.
  bool KeyExists(RegistryRoot root, std::string_view key) override;
  bool DeleteKey(RegistryRoot root, std::string_view key) override;

 private:
  unsigned Access(RegistryOperation operation, std::string_view key) const;

  RegistryViewRule rule_;
};

}  // namespace trovex::win32
