// Single registry values, read and written by hive, key path and value name.
// Two backends: the Windows registry, and a file that keeps the same
// hives, keys and values on other systems.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace trovex {

enum class RegistryRoot : int {
  CurrentUser = 1,   // HKEY_CURRENT_USER
  LocalMachine = 2,  // HKEY_LOCAL_MACHINE
  ClassesRoot = 3,   // HKEY_CLASSES_ROOT
  // Any other value names no hive: reads give defaults, writes fail.
};

// A value that exists but cannot be taken as asked (a Boolean stored as
// text), or a backing store that cannot be read at all.
class RegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Registry {
 public:
  virtual ~Registry() = default;
  // Key paths are relative to the hive, components separated by "\". An
  // empty value name means the key's default (unnamed) value.
  // Missing keys and values read as "" / false; a text read of a value of
  // another type reads as "". A Boolean read of a value that is not a
  // 32-bit integer throws RegistryError.
  virtual std::string ReadRegString(RegistryRoot root, std::string_view key, std::string_view name) = 0;
  virtual bool ReadRegBool(RegistryRoot root, std::string_view key, std::string_view name) = 0;
  // Create the key with all missing parents; false when it can be neither
  // opened nor created (nothing is written then).
  virtual bool WriteRegString(RegistryRoot root, std::string_view key, std::string_view name,
                              std::string_view value) = 0;
  virtual bool WriteRegBool(RegistryRoot root, std::string_view key, std::string_view name, bool value) = 0;

  // The add-in's registration needs these as well. They are not pure so
  // that backends and fakes that only serve settings stay small; the
  // defaults throw RegistryError, so a missing override shows at once.

  // A 32-bit integer (REG_DWORD); nullopt when the key or value is missing
  // or the value has another type.
  virtual std::optional<std::uint32_t> ReadRegDword(RegistryRoot, std::string_view, std::string_view) {
    throw Unsupported("ReadRegDword");
  }
  // Creates the key with all missing parents, like WriteRegBool.
  virtual bool WriteRegDword(RegistryRoot, std::string_view, std::string_view, std::uint32_t) {
    throw Unsupported("WriteRegDword");
  }
  // Read access; never creates the key.
  virtual bool KeyExists(RegistryRoot, std::string_view) { throw Unsupported("KeyExists"); }
  // Deletes the key with all its subkeys and values (never a hive itself:
  // an empty path is refused). False when it did not exist or could not be
  // deleted.
  virtual bool DeleteKey(RegistryRoot, std::string_view) { throw Unsupported("DeleteKey"); }

 private:
  static RegistryError Unsupported(std::string_view operation) {
    return RegistryError(std::string(operation) + ": not supported by this registry backend");
  }
};

}  // namespace trovex
