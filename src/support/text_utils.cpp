#include "support/text_utils.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "support/utf8.h"

namespace trovex {
namespace {

// ExpandEnvironmentStrings gets a buffer of this many characters; a longer
// result does not fit and the folder text is used unexpanded.
constexpr std::size_t kExpandBufferChars = 1024;

struct Char {
  std::uint64_t value;
  std::size_t offset;
};

std::vector<Char> Characters(std::string_view s, bool fold) {
  std::vector<Char> out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t at = i;
    if (fold) {
      out.push_back({FoldedCharAt(s, i), at});
    } else {
      // A character has at most four bytes: they and the length pack into
      // one number that equals another only for the same byte run.
      i += CharLengthAt(s, i);
      std::uint64_t packed = i - at;
      for (std::size_t b = at; b < i; ++b) packed = (packed << 8) | static_cast<unsigned char>(s[b]);
      out.push_back({packed, at});
    }
  }
  return out;
}

std::string_view TrimControls(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
  return s;
}

bool IsProcessEnvironment(const EnvLookup& lookupEnv) {
  using Lookup = std::optional<std::string> (*)(const std::string&);
  const Lookup* target = lookupEnv.target<Lookup>();
  return target && *target == &EnvironmentValue;
}

}  // namespace

std::string ExpandEnvironmentReferences(std::string_view s, const EnvLookup& lookupEnv) {
  std::string out;
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t open = s.find('%', i);
    if (open == std::string_view::npos) break;
    const std::size_t close = s.find('%', open + 1);
    if (close == std::string_view::npos) break;
    out.append(s.substr(i, open - i));
    const std::string name(s.substr(open + 1, close - open - 1));
    std::optional<std::string> value;
    if (!name.empty()) value = lookupEnv(name);
    if (value) {
      out += *value;
    } else {
      out.append(s.substr(open, close - open + 1));
    }
    i = close + 1;
  }
  out.append(s.substr(std::min(i, s.size())));
  return out;
}

std::string ReplaceText(std::string_view text, std::string_view oldPattern, std::string_view newPattern,
                        bool caseSensitive) {
  if (oldPattern.empty()) return std::string(text);
  const std::vector<Char> hay = Characters(text, !caseSensitive);
  const std::vector<Char> needle = Characters(oldPattern, !caseSensitive);
  std::string out;
  out.reserve(text.size());
  std::size_t copiedTo = 0;  // byte offset in `text`
  std::size_t k = 0;
  while (k + needle.size() <= hay.size()) {
    std::size_t m = 0;
    while (m < needle.size() && hay[k + m].value == needle[m].value) ++m;
    if (m < needle.size()) {
      ++k;
      continue;
    }
    const std::size_t begin = hay[k].offset;
    const std::size_t end = k + m < hay.size() ? hay[k + m].offset : text.size();
    out.append(text.substr(copiedTo, begin - copiedTo));
    out.append(newPattern);
    copiedTo = end;
    k += m;
  }
  out.append(text.substr(copiedTo));
  return out;
}

std::string NormalizeFolderText(std::string_view text, bool addTrailingBackslash, const EnvLookup& lookupEnv) {
  const std::string_view trimmed = TrimControls(text);
  if (trimmed.empty()) return {};
  // The process environment is expanded by the system's own rules where it
  // has them.
  std::string result = IsProcessEnvironment(lookupEnv) ? ExpandProcessEnvironment(trimmed)
                                                       : ExpandEnvironmentReferences(trimmed, lookupEnv);
  if (CodePointCount(result) > kExpandBufferChars) result.assign(trimmed);
  // A variable that expands to nothing leaves no folder to name.
  if (result.empty()) return {};
  if (addTrailingBackslash && result.back() != '\\') result += '\\';
  return result;
}

}  // namespace trovex
