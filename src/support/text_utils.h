// Text operations on UTF-8 strings that the wizard and the export share.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace trovex {

// Looks up an environment variable; nullopt when it is not defined.
using EnvLookup = std::function<std::optional<std::string>(const std::string&)>;

// The process environment (in UTF-8 on every platform).
std::optional<std::string> EnvironmentValue(const std::string& name);

// %NAME% references replaced through `lookupEnv`; undefined names and a "%"
// without a partner are copied as written.
std::string ExpandEnvironmentReferences(std::string_view text, const EnvLookup& lookupEnv);

// The same for the process environment, by the system's own rules where it
// has them (Windows); a failed expansion gives the text unchanged.
std::string ExpandProcessEnvironment(std::string_view text);

// Replaces every occurrence of `oldPattern`, left to right; replaced text is
// not searched again. Without `caseSensitive` letters match by the case
// mapping of utf8.h. An empty pattern leaves the text as it is.
std::string ReplaceText(std::string_view text, std::string_view oldPattern, std::string_view newPattern,
                        bool caseSensitive);

// A folder as typed or stored, made usable: control characters and blanks
// trimmed from both ends, %NAME% references expanded as Windows does
// (undefined names stay as written), and with `addTrailingBackslash` ending
// in "\". An empty result stays empty.
std::string NormalizeFolderText(std::string_view text, bool addTrailingBackslash,
                                const EnvLookup& lookupEnv = EnvironmentValue);

}  // namespace trovex
