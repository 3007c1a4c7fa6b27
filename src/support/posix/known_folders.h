// The XDG base and user directories, with the environment passed in so
// that tests can point them anywhere.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "support/known_folders.h"
#include "support/text_utils.h"

namespace trovex::posix {

// $HOME, else the home directory of the user's account entry.
std::string HomeDirectory(const EnvLookup& env);

// $XDG_CONFIG_HOME when it is an absolute path (relative ones are to be
// ignored), else $HOME/.config.
std::string ConfigHome(const EnvLookup& env);

// The value of `key` (such as "XDG_DOCUMENTS_DIR") in the text of a
// user-dirs.dirs file: the last assignment, with a leading "$HOME" replaced by
// `home`. Values that are neither absolute nor below $HOME are ignored.
std::optional<std::string> UserDirFromText(std::string_view text, std::string_view key, std::string_view home);

// As xdg-user-dir DOCUMENTS: user-dirs.dirs in the config home, else the
// variable XDG_DOCUMENTS_DIR, else the home directory. No trailing "/".
std::string PersonalFolder(const EnvLookup& env);

}  // namespace trovex::posix
