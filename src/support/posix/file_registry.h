// The registry on systems without one: a text file in the form of a
// Windows .reg export (REGEDIT5, UTF-8), so that settings can be carried to
// and from Windows with regedit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "support/registry.h"
#include "support/text_utils.h"

namespace trovex {

// $XDG_CONFIG_HOME/trovex/registry.reg, else $HOME/.config/trovex/registry.reg.
std::string DefaultRegistryFile(const EnvLookup& env = EnvironmentValue);

// Reads and writes go to the file each time, so that several processes see
// each other's settings; a write replaces the file atomically. Key paths and
// value names match without regard to case and keep the case they were
// first written with. A file that does not parse makes every read and every
// write throw RegistryError (naming file and line) and is never overwritten.
// Not for concurrent use from several threads.
class FileRegistry final : public Registry {
 public:
  explicit FileRegistry(std::string file);

  const std::string& File() const { return file_; }

  std::string ReadRegString(RegistryRoot root, std::string_view key, std::string_view name) override;
  bool ReadRegBool(RegistryRoot root, std::string_view key, std::string_view name) override;
  bool WriteRegString(RegistryRoot root, std::string_view key, std::string_view name,
                      std::string_view value) override;
  bool WriteRegBool(RegistryRoot root, std::string_view key, std::string_view name, bool value) override;
  std::optional<std::uint32_t> ReadRegDword(RegistryRoot root, std::string_view key, std::string_view name) override;
  bool WriteRegDword(RegistryRoot root, std::string_view key, std::string_view name, std::uint32_t value) override;
  bool KeyExists(RegistryRoot root, std::string_view key) override;
  // Also false (with LastWriteError) when the file cannot be replaced.
  bool DeleteKey(RegistryRoot root, std::string_view key) override;

  // Why the last write or delete returned false, for the user; empty after a write
  // that succeeded.
  const std::string& LastWriteError() const { return lastWriteError_; }

 private:
  std::string file_;
  std::string lastWriteError_;
};

}  // namespace trovex
