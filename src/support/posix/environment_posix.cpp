#include <cstdlib>

#include "support/text_utils.h"

namespace trovex {

std::optional<std::string> EnvironmentValue(const std::string& name) {
  if (const char* v = std::getenv(name.c_str())) return std::string(v);
  return std::nullopt;
}

std::string ExpandProcessEnvironment(std::string_view text) { return ExpandEnvironmentReferences(text, EnvironmentValue); }

}  // namespace trovex
