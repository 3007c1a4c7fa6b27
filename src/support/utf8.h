// UTF-8 text helpers. "Characters" are Unicode code points; no function here
// ever splits a UTF-8 sequence.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace trovex {

// Number of code points (an invalid byte counts as one).
std::size_t CodePointCount(std::string_view s);

// The first `count` code points of `s`.
std::string TruncateCodePoints(std::string_view s, std::size_t count);

// Upper / lower case by simple one-to-one case mapping of the letters of the
// Latin, Greek and Cyrillic scripts (ä -> Ä, ß stays ß); other code points
// and invalid bytes are kept as they are.
std::string ToUpperUtf8(std::string_view s);
std::string ToLowerUtf8(std::string_view s);

// Compares with letter case ignored, by the same mapping.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Byte length of the character at `offset` (1 for an invalid byte); the
// offset must lie inside `s`.
std::size_t CharLengthAt(std::string_view s, std::size_t offset);

// The character at `offset`, case-folded by the mapping above, as a number
// for comparisons; advances `offset` past it. An invalid byte yields a value
// above U+10FFFF that only equals the same byte.
char32_t FoldedCharAt(std::string_view s, std::size_t& offset);

// Appends one code point in UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

// Replaces every byte sequence that is not valid UTF-8 by U+FFFD (one for
// each maximal ill-formed subpart, as Unicode recommends).
std::string ValidUtf8(std::string_view s);

}  // namespace trovex
