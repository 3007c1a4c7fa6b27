#include "support/utf8.h"

#include <array>
#include <cstdint>

namespace trovex {
namespace {

struct Decoded {
  char32_t cp;
  // Bytes taken. For an invalid sequence: its maximal valid prefix, at least
  // one byte, so that ValidUtf8 replaces it by one U+FFFD.
  std::size_t length;
  bool valid;
};

Decoded Decode(std::string_view s, std::size_t i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) return {b0, 1, true};
  std::size_t need = 0;
  char32_t cp = 0;
  // The second byte's range excludes overlong forms, surrogates and code
  // points above U+10FFFF.
  unsigned char lo = 0x80, hi = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1;
    cp = b0 & 0x1Fu;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2;
    cp = b0 & 0x0Fu;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    cp = b0 & 0x07u;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return {b0, 1, false};
  }
  for (std::size_t k = 1; k <= need; ++k) {
    if (i + k >= s.size()) return {b0, k, false};
    const auto b = static_cast<unsigned char>(s[i + k]);
    if (b < lo || b > hi) return {b0, k, false};
    lo = 0x80;
    hi = 0xBF;
    cp = (cp << 6) | (b & 0x3Fu);
  }
  return {cp, need + 1, true};
}


// Upper-case letters and the distance to their lower-case partner. With
// step 2 only every other code point from `first` is an upper-case letter
// (the pairs of Latin Extended-A and the extended Cyrillic letters).
struct CaseRange {
  char32_t first;
  char32_t last;
  int delta;
  int step;
};

// Mappings that are not one-to-one stay out, so that upper and lower case
// convert back and forth without loss: ß, İ/ı (Turkish dotted and dotless i),
// ſ (long s), µ (micro sign), ĸ, ŉ and the Greek letter symbols (ϐ, ϑ, ...).
constexpr std::array kCaseRanges = {
    CaseRange{U'A', U'Z', 0x20, 1},
    // Latin-1 Supplement, without × and ß.
    CaseRange{0x00C0, 0x00D6, 0x20, 1},
    CaseRange{0x00D8, 0x00DE, 0x20, 1},
    // Latin Extended-A.
    CaseRange{0x0100, 0x012E, 1, 2},
    CaseRange{0x0132, 0x0136, 1, 2},
    CaseRange{0x0139, 0x0147, 1, 2},
    CaseRange{0x014A, 0x0176, 1, 2},
    CaseRange{0x0178, 0x0178, 0x00FF - 0x0178, 1},  // Ÿ / ÿ
    CaseRange{0x0179, 0x017D, 1, 2},
    // Greek and Coptic.
    CaseRange{0x0370, 0x0372, 1, 2},
    CaseRange{0x0376, 0x0376, 1, 1},
    CaseRange{0x037F, 0x037F, 0x03F3 - 0x037F, 1},
    CaseRange{0x0386, 0x0386, 0x03AC - 0x0386, 1},
    CaseRange{0x0388, 0x038A, 0x03AD - 0x0388, 1},
    CaseRange{0x038C, 0x038C, 0x03CC - 0x038C, 1},
    CaseRange{0x038E, 0x038F, 0x03CD - 0x038E, 1},
    CaseRange{0x0391, 0x03A1, 0x20, 1},
    CaseRange{0x03A3, 0x03AB, 0x20, 1},
    CaseRange{0x03CF, 0x03CF, 0x03D7 - 0x03CF, 1},
    CaseRange{0x03D8, 0x03EE, 1, 2},
    CaseRange{0x03F7, 0x03F7, 1, 1},
    CaseRange{0x03F9, 0x03F9, 0x03F2 - 0x03F9, 1},
    CaseRange{0x03FA, 0x03FA, 1, 1},
    CaseRange{0x03FD, 0x03FF, 0x037B - 0x03FD, 1},
    // Cyrillic.
    CaseRange{0x0400, 0x040F, 0x50, 1},
    CaseRange{0x0410, 0x042F, 0x20, 1},
    CaseRange{0x0460, 0x0480, 1, 2},
    CaseRange{0x048A, 0x04BE, 1, 2},
    CaseRange{0x04C0, 0x04C0, 0x04CF - 0x04C0, 1},
    CaseRange{0x04C1, 0x04CD, 1, 2},
    CaseRange{0x04D0, 0x04FE, 1, 2},
};

bool InRange(char32_t cp, char32_t first, char32_t last, int step) {
  return cp >= first && cp <= last && (cp - first) % static_cast<char32_t>(step) == 0;
}

char32_t Shift(char32_t cp, int delta) {
  return static_cast<char32_t>(static_cast<std::int32_t>(cp) + delta);
}

char32_t LowerOf(char32_t cp) {
  if (cp < 0x80) return cp >= U'A' && cp <= U'Z' ? cp + 0x20 : cp;
  for (const auto& r : kCaseRanges) {
    if (InRange(cp, r.first, r.last, r.step)) return Shift(cp, r.delta);
  }
  return cp;
}

char32_t UpperOf(char32_t cp) {
  if (cp < 0x80) return cp >= U'a' && cp <= U'z' ? cp - 0x20 : cp;
  // Final sigma has no upper-case form of its own.
  if (cp == 0x03C2) return 0x03A3;
  for (const auto& r : kCaseRanges) {
    if (InRange(cp, Shift(r.first, r.delta), Shift(r.last, r.delta), r.step)) return Shift(cp, -r.delta);
  }
  return cp;
}

template <typename Map>
std::string MapCase(std::string_view s, Map map) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const Decoded d = Decode(s, i);
    if (d.valid) {
      AppendUtf8(out, map(d.cp));
      i += d.length;
    } else {
      out += s[i++];
    }
  }
  return out;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::size_t CharLengthAt(std::string_view s, std::size_t offset) {
  const Decoded d = Decode(s, offset);
  return d.valid ? d.length : 1;
}

char32_t FoldedCharAt(std::string_view s, std::size_t& offset) {
  const Decoded d = Decode(s, offset);
  if (!d.valid) return 0x110000 + static_cast<unsigned char>(s[offset++]);
  offset += d.length;
  return UpperOf(d.cp);
}

std::size_t CodePointCount(std::string_view s) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < s.size(); i += CharLengthAt(s, i)) ++count;
  return count;
}

std::string TruncateCodePoints(std::string_view s, std::size_t count) {
  std::size_t i = 0;
  for (; i < s.size() && count > 0; --count) i += CharLengthAt(s, i);
  return std::string(s.substr(0, i));
}

std::string ToUpperUtf8(std::string_view s) { return MapCase(s, UpperOf); }

std::string ToLowerUtf8(std::string_view s) { return MapCase(s, LowerOf); }

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (FoldedCharAt(a, i) != FoldedCharAt(b, j)) return false;
  }
  return i == a.size() && j == b.size();
}

std::string ValidUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const Decoded d = Decode(s, i);
    if (d.valid) {
      out.append(s.substr(i, d.length));
    } else {
      AppendUtf8(out, 0xFFFD);
    }
    i += d.length;
  }
  return out;
}

}  // namespace trovex
