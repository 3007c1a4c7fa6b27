#include "wizard/extension_page.h"

#include <algorithm>

#include "support/utf8.h"

namespace trovex::wizard {
namespace {

// The " -" keeps .DOC from matching the caption of .DOCX.
bool CaptionNames(const std::string& caption, std::string_view upperExtension) {
  return caption.size() >= upperExtension.size() + 2 && caption.compare(0, upperExtension.size(), upperExtension) == 0 &&
         caption.compare(upperExtension.size(), 2, " -") == 0;
}

}  // namespace

std::vector<ExtensionEntry> FillExtensionEntries(const TypeNameFn& typeName, const TextOrderFn& order,
                                                 std::string_view storedText, bool selectExtensions) {
  std::vector<ExtensionEntry> entries;
  for (std::string_view extension : ExtensionCatalog) {
    entries.push_back({std::string(extension), ToUpperUtf8(extension) + " - " + typeName(extension), false});
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [&](const ExtensionEntry& a, const ExtensionEntry& b) { return order(a.caption, b.caption) < 0; });
  if (!selectExtensions) return entries;

  std::vector<std::string> pieces;
  for (std::size_t start = 0;;) {
    const std::size_t end = storedText.find(';', start);
    pieces.push_back(ToUpperUtf8(storedText.substr(start, end - start)));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  for (ExtensionEntry& entry : entries) {
    entry.checked = std::any_of(pieces.begin(), pieces.end(), [&](const std::string& piece) {
      return !piece.empty() && CaptionNames(entry.caption, piece);
    });
  }
  return entries;
}

std::vector<std::string> ChosenExtensionsOf(const std::vector<ExtensionEntry>& entries) {
  std::vector<std::string> chosen;
  for (const ExtensionEntry& entry : entries) {
    if (!entry.checked) continue;
    for (std::string_view extension : ExtensionCatalog) {
      std::string upper = ToUpperUtf8(extension);
      if (CaptionNames(entry.caption, upper)) {
        chosen.push_back(std::move(upper));
        break;
      }
    }
  }
  return chosen;
}

}  // namespace trovex::wizard
