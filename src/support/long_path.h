// Where Windows' MAX_PATH limit bites, decided on the UTF-8 text alone so
// that the rules can be tested on every platform. Lengths are UTF-16 code
// units, as Windows counts them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "support/utf8.h"

namespace trovex {

inline constexpr std::size_t kMaxPath = 260;
// CreateDirectoryW leaves room for an 8.3 name below the new directory.
inline constexpr std::size_t kMaxDirectoryPath = kMaxPath - 12;
// GetTempFileNameW needs room for its "pppXXXX.tmp" name below the folder.
inline constexpr std::size_t kMaxTempFileFolder = kMaxPath - 14;

// Code points beyond the BMP take two UTF-16 units.
inline std::size_t Utf16Length(std::string_view utf8) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t len = CharLengthAt(utf8, i);
    units += len == 4 ? 2 : 1;
    i += len;
  }
  return units;
}

// "C:\..." or "\\server\share..." (either separator).
inline bool IsAbsoluteWindowsPath(std::string_view path) {
  const auto sep = [](char c) { return c == '\\' || c == '/'; };
  if (path.size() >= 2 && sep(path[0]) && sep(path[1])) return true;
  return path.size() >= 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':' && sep(path[2]);
}

// Already in the "\\?\" (or "\\.\") form that bypasses path parsing.
inline bool HasDevicePrefix(std::string_view path) {
  return path.starts_with("\\\\?\\") || path.starts_with("\\\\.\\");
}

// The extended-length form of an absolute, already normalised path:
// "\\?\C:\..." or "\\?\UNC\server\share\..."; nullopt for a relative path.
// Such a path reaches the file system unparsed, so "/" must already be "\".
inline std::optional<std::string> ExtendedLengthForm(std::string_view path) {
  if (HasDevicePrefix(path)) return std::string(path);
  if (!IsAbsoluteWindowsPath(path)) return std::nullopt;
  if (path.starts_with("\\\\")) return "\\\\?\\UNC\\" + std::string(path.substr(2));
  return "\\\\?\\" + std::string(path);
}

// The form without "\\?\" (or "\\?\UNC\"), as a program that is not
// long-path aware takes it.
inline std::string WithoutExtendedLengthPrefix(std::string_view path) {
  if (path.starts_with("\\\\?\\UNC\\")) return "\\\\" + std::string(path.substr(8));
  if (path.starts_with("\\\\?\\")) return std::string(path.substr(4));
  return std::string(path);
}

// The folder part of a file path: everything before the last separator
// ("" when there is none).
inline std::string_view ParentFolder(std::string_view path) {
  const std::size_t p = path.find_last_of("\\/");
  return p == std::string_view::npos ? std::string_view{} : path.substr(0, p);
}

// Whether a path needs the extended-length form to be opened: it is
// absolute and longer than a directory path may be without it.
inline bool NeedsExtendedLengthForm(std::string_view path) {
  return !HasDevicePrefix(path) && IsAbsoluteWindowsPath(path) && Utf16Length(path) > kMaxDirectoryPath;
}

// Whether a file path is too long for a program that is not long-path
// aware (MAX_PATH with its terminating NUL), such as Outlook's SaveAsFile.
inline bool ExceedsMaxPath(std::string_view path) { return Utf16Length(path) >= kMaxPath; }

}  // namespace trovex
