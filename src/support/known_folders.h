// Folders of the user's desktop environment that the wizard offers.
#pragma once

#include <string>

namespace trovex {

// The user's documents folder, without a trailing separator: "Eigene
// Dateien" on Windows, the XDG documents directory elsewhere.
std::string PersonalFolder();

}  // namespace trovex
