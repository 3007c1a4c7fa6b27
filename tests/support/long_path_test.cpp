#include "support/long_path.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace trovex {
namespace {

// A drive path of exactly `length` UTF-16 units.
std::string DrivePath(std::size_t length) { return "C:\\" + std::string(length - 3, 'a'); }

std::string Repeat(std::string_view s, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += s;
  return out;
}

TEST(LongPath, CountsUtf16Units) {
  EXPECT_EQ(Utf16Length(""), 0u);
  EXPECT_EQ(Utf16Length("C:\\Anhänge"), 10u);     // ä is one unit
  EXPECT_EQ(Utf16Length("C:\\\xF0\x9F\x93\x8E"), 5u);  // U+1F4CE takes a surrogate pair
  EXPECT_EQ(Utf16Length("\xFF"), 1u);              // an invalid byte becomes one U+FFFD
}

TEST(LongPath, ExtendedLengthFormOnlyForAbsolutePaths) {
  struct Case {
    std::string path;
    std::optional<std::string> form;
  };
  const Case cases[] = {
      {"C:\\Export\\a.pdf", "\\\\?\\C:\\Export\\a.pdf"},                  // drive
      {"d:/Export", "\\\\?\\d:/Export"},                                  // lower-case drive, slash (normalised before)
      {"\\\\server\\share\\a.pdf", "\\\\?\\UNC\\server\\share\\a.pdf"},   // UNC takes "UNC\"
      {"\\\\?\\C:\\x", "\\\\?\\C:\\x"},                                   // already prefixed
      {"\\\\?\\UNC\\s\\h\\x", "\\\\?\\UNC\\s\\h\\x"},                     // already prefixed UNC
      {"Export\\a.pdf", std::nullopt},                                    // relative
      {"C:a.pdf", std::nullopt},                                          // relative to the drive's directory
      {"\\Export\\a.pdf", std::nullopt},                                  // relative to the current drive
  };
  for (const auto& c : cases) EXPECT_EQ(ExtendedLengthForm(c.path), c.form) << c.path;
}

TEST(LongPath, StripsThePrefixForProgramsThatAreNotLongPathAware) {
  EXPECT_EQ(WithoutExtendedLengthPrefix("\\\\?\\C:\\PROGRA~1\\x"), "C:\\PROGRA~1\\x");
  EXPECT_EQ(WithoutExtendedLengthPrefix("\\\\?\\UNC\\server\\share\\x"), "\\\\server\\share\\x");
  EXPECT_EQ(WithoutExtendedLengthPrefix("C:\\x"), "C:\\x");
}

TEST(LongPath, LimitsFollowMaxPath) {
  struct Case {
    std::string path;
    bool needsPrefix;  // CreateDirectoryW's limit: more than 248 units
    bool exceeds;      // MAX_PATH with its NUL: 260 units or more
  };
  const Case cases[] = {
      {DrivePath(248), false, false},                              // the longest plain directory
      {DrivePath(249), true, false},                               // one more needs the prefix
      {DrivePath(259), true, false},                               // the longest plain file path
      {DrivePath(260), true, true},                                // no room for the NUL
      {std::string(300, 'a'), false, true},                        // relative: no prefix can help
      {"\\\\?\\" + DrivePath(300), false, true},                   // already prefixed
      {"C:\\" + Repeat("ä", 200), false, false},                   // 403 bytes are 203 units
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NeedsExtendedLengthForm(c.path), c.needsPrefix) << c.path.size();
    EXPECT_EQ(ExceedsMaxPath(c.path), c.exceeds) << c.path.size();
  }
}

TEST(LongPath, ParentFolderIsTheTextBeforeTheLastSeparator) {
  EXPECT_EQ(ParentFolder("C:\\Export\\a.pdf"), "C:\\Export");
  EXPECT_EQ(ParentFolder("C:\\Export/a.pdf"), "C:\\Export");
  EXPECT_EQ(ParentFolder("a.pdf"), "");
}

}  // namespace
}  // namespace trovex
