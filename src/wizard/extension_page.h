// Page 2's extension list: the catalogue, its captions and how the stored
// choice maps onto the list and back.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace trovex::wizard {

inline constexpr std::array<std::string_view, 11> ExtensionCatalog = {
    ".pdf", ".doc", ".docx", ".jpg", ".png", ".rtf", ".txt", ".vcf", ".xls", ".xlsx", ".zip",
};

struct ExtensionEntry {
  std::string extension;  // as in the catalogue, ".pdf"
  std::string caption;    // ".PDF - Adobe Acrobat Document"
  bool checked = false;
};

// The shell's type name of an extension; empty when it knows none.
using TypeNameFn = std::function<std::string(std::string_view extension)>;
// The user's locale-aware text order: negative, zero or positive.
using TextOrderFn = std::function<int(const std::string& a, const std::string& b)>;

// The list as the page shows it on entry from page 1: one entry per
// catalogue extension, sorted by caption; with `selectExtensions` the
// entries whose caption begins with a piece of `storedText` (upper case)
// followed by " -" are checked.
std::vector<ExtensionEntry> FillExtensionEntries(const TypeNameFn& typeName, const TextOrderFn& order,
                                                 std::string_view storedText, bool selectExtensions);

// The checked entries' extensions, upper case with their dot, in list
// order: for each the first catalogue extension its caption begins with.
std::vector<std::string> ChosenExtensionsOf(const std::vector<ExtensionEntry>& entries);

}  // namespace trovex::wizard
