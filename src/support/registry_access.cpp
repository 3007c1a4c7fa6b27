#include "support/registry_access.h"

#include "support/utf8.h"

namespace trovex {

unsigned RegistryAccess(RegistryOperation operation, std::string_view keyPath, bool isWow64, RegistryViewRule rule) {
  unsigned view = 0;
  if (isWow64 && rule == RegistryViewRule::ByPath) {
    const bool names32BitView = ToUpperUtf8(keyPath).find("WOW6432NODE") != std::string::npos;
    view = names32BitView ? kRegistryView32 : kRegistryView64;
  }
  switch (operation) {
    case RegistryOperation::Read:
      return kRegistryKeyRead | view;
    case RegistryOperation::Write:
      return kRegistryKeyWrite | view;
    case RegistryOperation::Delete:
      return view;
  }
  return view;
}

}  // namespace trovex
