#include "support/native_path.h"

#include <algorithm>
#include <string>

namespace trovex {

std::filesystem::path NativePath(std::string_view path) {
  std::string s(path);
  std::replace(s.begin(), s.end(), '\\', '/');
  return std::filesystem::path(s);
}

}  // namespace trovex
