// Single registry values, read and written by hive, key path and value name.
// Two backends: the Windows registry, and a file that keeps the same
// hives, keys and values on other systems.
#pragma once

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
  // Key paths are relative to the hive, components separated by "\".
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
};

}  // namespace trovex
