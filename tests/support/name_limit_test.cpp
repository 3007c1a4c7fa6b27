#include "support/name_limit.h"

#include <gtest/gtest.h>

namespace trovex {
namespace {

std::string Repeat(std::string_view s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

constexpr NameLimit kBytes{LengthUnit::Utf8Bytes, 255};
constexpr NameLimit kUnits{LengthUnit::Utf16Units, 255};
const std::string kClip = "\xF0\x9F\x93\x8E";  // U+1F4CE: 4 bytes, a surrogate pair

TEST(NameLength, CountsBytesOrUtf16Units) {
  EXPECT_EQ(NameLength("aÄ" + kClip, LengthUnit::Utf8Bytes), 7u);
  EXPECT_EQ(NameLength("aÄ" + kClip, LengthUnit::Utf16Units), 4u);
  EXPECT_EQ(NameLength("\xFF", LengthUnit::Utf16Units), 1u);  // an invalid byte becomes one U+FFFD
}

TEST(FitName, CutsWholeCharactersAndKeepsTheExtension) {
  const struct {
    std::string name;
    NameLimit limit;
    bool keepExtension;
    std::string fitted;
  } cases[] = {
      {Repeat("a", 255), kBytes, true, Repeat("a", 255)},                        // at the limit: unchanged
      {Repeat("Ä", 150) + ".pdf", kBytes, true, Repeat("Ä", 125) + ".pdf"},      // 254 bytes, no half "Ä"
      {Repeat("Ä", 150) + ".pdf", kUnits, true, Repeat("Ä", 150) + ".pdf"},      // 154 units fit Windows
      {Repeat(kClip, 130) + ".pdf", kUnits, true, Repeat(kClip, 125) + ".pdf"},  // no split surrogate pair
      {Repeat(kClip, 130) + ".pdf", kBytes, true, Repeat(kClip, 62) + ".pdf"},
      {Repeat("x", 300), kBytes, true, Repeat("x", 255)},                        // no extension
      {Repeat("x", 300) + ".pdf", kBytes, false, Repeat("x", 255)},              // extension not asked for
      {"a." + Repeat("e", 300), kBytes, true, "a." + Repeat("e", 253)},          // extension too long to keep
      {"." + Repeat("e", 300), kBytes, true, "." + Repeat("e", 254)},            // all extension
      {"b." + Repeat("e", 254), kBytes, true, "b." + Repeat("e", 253)},          // no room for the stem
      {Repeat("ab", 130) + "." + Repeat("Ä", 10), kBytes, true, Repeat("ab", 117) + "." + Repeat("Ä", 10)},
  };
  for (const auto& c : cases) {
    const std::string fitted = FitName(c.name, c.limit, c.keepExtension);
    EXPECT_EQ(fitted, c.fitted) << c.name;
    EXPECT_LE(NameLength(fitted, c.limit.unit), c.limit.max) << c.name;
  }
}

}  // namespace
}  // namespace trovex
