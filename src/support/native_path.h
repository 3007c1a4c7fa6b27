// The engine computes paths in Windows form (backslash separators), as the
// Outlook side needs them; the file-system edge turns them into native paths.
#pragma once

#include <filesystem>
#include <string_view>

namespace trovex {

// On POSIX systems a backslash becomes "/", so a computed folder name with a
// backslash still makes nested folders. The text is UTF-8.
std::filesystem::path NativePath(std::string_view path);

}  // namespace trovex
