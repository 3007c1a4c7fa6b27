#include "support/file_system.h"

#include <cctype>
#include <string_view>

namespace trovex {
namespace {

// Appends a level for every non-empty segment of `rest` below `done`;
// doubled separators name no level of their own (Windows and POSIX both
// treat them as one).
void AppendLevels(std::vector<std::string>& levels, std::string done, std::string_view rest, char separator,
                  bool rooted) {
  bool first = done.empty() && !rooted;
  while (!rest.empty()) {
    const std::size_t p = rest.find(separator);
    const std::string_view segment = rest.substr(0, p);
    rest = p == std::string_view::npos ? std::string_view{} : rest.substr(p + 1);
    if (segment.empty()) continue;
    if (!first) done += separator;
    done.append(segment);
    first = false;
    levels.push_back(done);
  }
}

bool IsDriveSpec(std::string_view s) {
  return s.size() == 2 && s[1] == ':' && std::isalpha(static_cast<unsigned char>(s[0]));
}

}  // namespace

std::vector<std::string> WindowsSubDirLevels(const std::string& path) {
  std::vector<std::string> levels;
  std::string_view rest = path;
  if (rest.starts_with("\\\\")) {
    // \\server\share: neither level can be made, only what lies below.
    rest.remove_prefix(2);
    const std::size_t server = rest.find('\\');
    if (server == std::string_view::npos) return levels;
    const std::size_t share = rest.find('\\', server + 1);
    if (share == std::string_view::npos) return levels;
    AppendLevels(levels, "\\\\" + std::string(rest.substr(0, share)), rest.substr(share + 1), '\\', true);
    return levels;
  }
  const std::size_t p = rest.find('\\');
  const std::string_view first = rest.substr(0, p);
  if (IsDriveSpec(first)) {
    // "C:\..." lists the levels below the root; "C:" alone names the current
    // directory of the drive, which exists.
    if (p != std::string_view::npos) AppendLevels(levels, std::string(first), rest.substr(p + 1), '\\', true);
    return levels;
  }
  // A rooted path ("\a") starts at the current drive's root; anything else is
  // relative to the current directory.
  AppendLevels(levels, "", rest, '\\', p == 0);
  return levels;
}

std::vector<std::string> PosixSubDirLevels(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  std::vector<std::string> levels;
  AppendLevels(levels, "", native, '/', native.starts_with('/'));
  return levels;
}

bool CreateSubDirs(FileSystem& fs, const std::string& path) {
  const std::vector<std::string> levels = SubDirLevels(path);
  // A root ("C:\", "/", "\\server\share") has no level to make; it must
  // exist already.
  if (levels.empty()) return !path.empty() && fs.DirectoryExists(path);
  for (const std::string& level : levels) {
    if (!fs.CreateDirectory(level) && !fs.DirectoryExists(level)) return false;
  }
  return true;
}

}  // namespace trovex
