#include "support/utf8.h"

#include <gtest/gtest.h>

namespace trovex {
namespace {

TEST(Utf8Counting, CountsAndTruncatesWholeCharacters) {
  struct Case {
    std::string_view text;
    std::size_t count;
    std::size_t keep;
    std::string_view kept;
  };
  const Case cases[] = {
      {"", 0, 3, ""},                                    // nothing to count
      {"abc", 3, 2, "ab"},                               // ASCII
      {"Grüße", 5, 3, "Grü"},                            // two-byte letters are one each
      {"€x", 2, 1, "€"},                                 // three bytes
      {"a😀b", 3, 2, "a😀"},                             // four bytes
      {"a\xFF\xFE" "b", 4, 2, "a\xFF"},                  // each invalid byte counts alone
      {"\xE2\x82" "x", 3, 1, "\xE2"},                    // a cut-off sequence is invalid bytes
      {"ab", 2, 10, "ab"},                               // more than there is
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CodePointCount(c.text), c.count) << c.text;
    EXPECT_EQ(TruncateCodePoints(c.text, c.keep), c.kept) << c.text;
  }
}

TEST(Utf8Case, MapsLettersBothWays) {
  struct Pair {
    std::string_view lower;
    std::string_view upper;
  };
  const Pair pairs[] = {
      {"abcxyz", "ABCXYZ"},        // ASCII
      {"äöüéøþ", "ÄÖÜÉØÞ"},        // Latin-1, either side of ×
      {"ÿ", "Ÿ"},                  // ÿ's partner lies in Latin Extended-A
      {"āčğķ", "ĀČĞĶ"},            // Latin Extended-A, upper case on even code points
      {"ĺňźž", "ĹŇŹŽ"},            // ... and on odd ones
      {"ŋœŵ", "ŊŒŴ"},              // the range after ŉ
      {"αβγωϊϋ", "ΑΒΓΩΪΫ"},        // Greek
      {"άέίόύώ", "ΆΈΊΌΎΏ"},        // Greek with tonos, irregular distances
      {"абвяёђџ", "АБВЯЁЂЏ"},      // Cyrillic, basic and the 0x50 offset
      {"ѣҗӏӂӑ", "ѢҖӀӁӐ"},          // extended Cyrillic pairs
  };
  for (const auto& p : pairs) {
    EXPECT_EQ(ToUpperUtf8(p.lower), p.upper) << p.lower;
    EXPECT_EQ(ToLowerUtf8(p.upper), p.lower) << p.upper;
  }
}

TEST(Utf8Case, KeepsWhatHasNoOneToOnePartner) {
  // ß, × ÷, µ, ĸ, ŉ, ſ, İ ı, ΐ, digits and an invalid byte.
  const std::string_view kept = "ß×÷µĸŉſİıΐ09\xFF";
  EXPECT_EQ(ToUpperUtf8(kept), kept);
  EXPECT_EQ(ToLowerUtf8(kept), kept);
  EXPECT_EQ(ToUpperUtf8("straße"), "STRAßE");
  EXPECT_EQ(ToUpperUtf8("a\xC3" "b"), "A\xC3" "B");  // a lead byte without its tail
}

TEST(Utf8Case, FinalSigmaUpperCasesToSigma) {
  EXPECT_EQ(ToUpperUtf8("ς"), "Σ");
  EXPECT_EQ(ToLowerUtf8("Σ"), "σ");
  EXPECT_TRUE(EqualsIgnoreCase("ΟΔΟΣ", "οδος"));
}

TEST(Utf8Case, EqualsIgnoreCase) {
  struct Case {
    std::string_view a;
    std::string_view b;
    bool equal;
  };
  const Case cases[] = {
      {"Software\\Quellmark", "SOFTWARE\\quellmark", true},  // ASCII
      {"Ärger", "äRGER", true},                              // umlauts
      {"STRASSE", "straße", false},                          // ß is not expanded
      {"Ab", "Abc", false},                                  // prefix only
      {"", "", true},                                        // both empty
      {"x\xFF", "X\xFF", true},                              // invalid bytes compare as themselves
      {"x\xFF", "x\xFE", false},                             // ... and only to the same byte
      {"\xC3\xA4", "\xC3", false},                           // a cut sequence is not the letter
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EqualsIgnoreCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
    EXPECT_EQ(EqualsIgnoreCase(c.b, c.a), c.equal) << c.b << " / " << c.a;
  }
}

TEST(Utf8Validation, ReplacesEachIllFormedPartOnce) {
  struct Case {
    std::string_view in;
    std::string_view out;
  };
  const Case cases[] = {
      {"Grüße 😀", "Grüße 😀"},                                   // valid text stays
      {"a\x80" "b", "a\uFFFD" "b"},                               // stray continuation byte
      {"\xE2\x82" "x", "\uFFFDx"},                                // cut-off sequence: one replacement
      {"\xE2\x82", "\uFFFD"},                                     // ... also at the very end
      {"\xC0\xAF", "\uFFFD\uFFFD"},                               // overlong form, byte by byte
      {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},                     // surrogate
      {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},           // beyond U+10FFFF
      {"\xF0\x9F\x98" "\xF0\x9F\x98\x80", "\uFFFD😀"},            // cut 4-byte form before a whole one
  };
  for (const auto& c : cases) EXPECT_EQ(ValidUtf8(c.in), c.out);
}

}  // namespace
}  // namespace trovex
