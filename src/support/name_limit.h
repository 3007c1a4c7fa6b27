// How long one path component (a file or folder name) may be. File systems
// count differently: Windows in UTF-16 units, Linux in bytes of the name's
// encoding, 255 of either. The cutting is portable so that both limits are
// tested everywhere; the limit of the machine's file system comes from its
// platform file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace trovex {

enum class LengthUnit { Utf8Bytes, Utf16Units };

struct NameLimit {
  LengthUnit unit = LengthUnit::Utf8Bytes;
  std::size_t max = 255;
};

// The limit of the file system the export writes to.
NameLimit TargetNameLimit();

// The length of a UTF-8 name in `unit`.
std::size_t NameLength(std::string_view name, LengthUnit unit);

// `name` cut to `limit`, never inside a character (so never between the
// halves of a UTF-16 surrogate pair either). With `keepExtension` the part
// from the last "." stays and the cut takes characters before it, as long
// as at least one of them is left; otherwise the end of the name goes. A
// name within the limit comes back as it is.
std::string FitName(std::string_view name, NameLimit limit, bool keepExtension);

}  // namespace trovex
