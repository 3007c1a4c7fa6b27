#include "engine/export_settings.h"

#include "support/utf8.h"

namespace trovex::engine {
namespace {

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
  return s;
}

// Upper case with a leading dot; empty when nothing is left.
std::string NormalExtension(std::string_view piece) {
  piece = TrimBlanks(piece);
  if (piece.empty()) return {};
  std::string ext = ToUpperUtf8(piece);
  if (!ext.starts_with('.')) ext.insert(0, 1, '.');
  return ext;
}

}  // namespace

std::string ExtensionText(const std::vector<std::string>& chosen) {
  std::string text;
  for (const std::string& piece : chosen) {
    const std::string ext = NormalExtension(piece);
    if (!ext.empty()) text += ext + ';';
  }
  return text;
}

std::vector<std::string> ParseExtensionText(std::string_view text) {
  std::vector<std::string> result;
  while (!text.empty()) {
    const std::size_t p = text.find(';');
    std::string ext = NormalExtension(text.substr(0, p));
    if (!ext.empty()) result.push_back(std::move(ext));
    if (p == std::string_view::npos) break;
    text.remove_prefix(p + 1);
  }
  return result;
}

}  // namespace trovex::engine
