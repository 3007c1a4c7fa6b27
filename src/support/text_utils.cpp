#include "support/text_utils.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "support/utf8.h"

#ifdef _WIN32
#include <windows.h>

#include "support/win32/wide_string.h"
#endif

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

// Undefined names and a "%" without a partner are copied as written.
std::string ExpandEnvironment(std::string_view s, const EnvLookup& lookupEnv) {
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

#ifdef _WIN32
// The process environment as Windows expands it; nullopt when the system
// reports failure.
std::optional<std::string> SystemExpansion(std::string_view text) {
  const std::wstring source = win32::WideFromUtf8(text);
  const DWORD needed = ::ExpandEnvironmentStringsW(source.c_str(), nullptr, 0);
  if (needed == 0) return std::nullopt;
  std::wstring expanded(needed, L'\0');
  const DWORD written = ::ExpandEnvironmentStringsW(source.c_str(), expanded.data(), needed);
  if (written == 0 || written > needed) return std::nullopt;
  expanded.resize(written - 1);  // the count includes the terminating NUL
  return win32::Utf8FromWide(expanded);
}

bool IsProcessEnvironment(const EnvLookup& lookupEnv) {
  using Lookup = std::optional<std::string> (*)(const std::string&);
  const Lookup* target = lookupEnv.target<Lookup>();
  return target && *target == &EnvironmentValue;
}
#endif

}  // namespace

std::optional<std::string> EnvironmentValue(const std::string& name) {
#ifdef _WIN32
  // getenv would answer in the ANSI code page.
  const std::wstring wname = win32::WideFromUtf8(name);
  ::SetLastError(ERROR_SUCCESS);
  const DWORD needed = ::GetEnvironmentVariableW(wname.c_str(), nullptr, 0);
  if (needed == 0) {
    if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::string();
  }
  std::wstring value(needed, L'\0');
  const DWORD written = ::GetEnvironmentVariableW(wname.c_str(), value.data(), needed);
  if (written >= needed) return std::nullopt;  // changed between the calls
  value.resize(written);
  return win32::Utf8FromWide(value);
#else
  if (const char* v = std::getenv(name.c_str())) return std::string(v);
  return std::nullopt;
#endif
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
#ifdef _WIN32
  // The process environment is expanded by the system itself, with its own
  // rules for names; a failed expansion keeps the trimmed text.
  std::string result = IsProcessEnvironment(lookupEnv) ? SystemExpansion(trimmed).value_or(std::string(trimmed))
                                                       : ExpandEnvironment(trimmed, lookupEnv);
#else
  std::string result = ExpandEnvironment(trimmed, lookupEnv);
#endif
  if (CodePointCount(result) > kExpandBufferChars) result.assign(trimmed);
  // A variable that expands to nothing leaves no folder to name.
  if (result.empty()) return {};
  if (addTrailingBackslash && result.back() != '\\') result += '\\';
  return result;
}

}  // namespace trovex
