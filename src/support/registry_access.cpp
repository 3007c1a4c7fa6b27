#include "support/registry_access.h"

#include "support/utf8.h"

namespace trovex {

unsigned RegistryReadAccess(std::string_view keyPath, bool isWow64) {
  if (!isWow64) return kRegistryKeyRead;
  const bool names32BitView = ToUpperUtf8(keyPath).find("WOW6432NODE") != std::string::npos;
  return kRegistryKeyRead | (names32BitView ? kRegistryView32 : kRegistryView64);
}

}  // namespace trovex
