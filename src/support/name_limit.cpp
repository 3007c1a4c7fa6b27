#include "support/name_limit.h"

#include "support/utf8.h"

namespace trovex {
namespace {

std::size_t CharLength(std::size_t utf8Bytes, LengthUnit unit) {
  if (unit == LengthUnit::Utf8Bytes) return utf8Bytes;
  return utf8Bytes == 4 ? 2 : 1;  // beyond the BMP: a surrogate pair
}

// The longest prefix of whole characters that takes at most `room`.
std::string_view PrefixWithin(std::string_view s, std::size_t room, LengthUnit unit) {
  std::size_t used = 0, end = 0;
  while (end < s.size()) {
    const std::size_t bytes = CharLengthAt(s, end);
    const std::size_t length = CharLength(bytes, unit);
    if (used + length > room) break;
    used += length;
    end += bytes;
  }
  return s.substr(0, end);
}

}  // namespace

std::size_t NameLength(std::string_view name, LengthUnit unit) {
  if (unit == LengthUnit::Utf8Bytes) return name.size();
  std::size_t length = 0;
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t bytes = CharLengthAt(name, i);
    length += CharLength(bytes, unit);
    i += bytes;
  }
  return length;
}

std::string FitName(std::string_view name, NameLimit limit, bool keepExtension) {
  if (NameLength(name, limit.unit) <= limit.max) return std::string(name);
  if (keepExtension) {
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0) {
      const std::string_view extension = name.substr(dot);
      const std::size_t extensionLength = NameLength(extension, limit.unit);
      if (extensionLength < limit.max) {
        const std::string_view stem = PrefixWithin(name.substr(0, dot), limit.max - extensionLength, limit.unit);
        if (!stem.empty()) return std::string(stem).append(extension);
      }
    }
  }
  return std::string(PrefixWithin(name, limit.max, limit.unit));
}

}  // namespace trovex
