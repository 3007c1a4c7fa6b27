#include "support/text_utils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "support/message_box.h"

#include "testing/env.h"

namespace trovex {
namespace {

using testing::SetEnv;

TEST(ReplaceText, ReplacesLeftToRightWithoutRescanning) {
  struct Case {
    std::string_view text, oldPattern, newPattern;
    bool caseSensitive;
    std::string_view result;
  };
  const Case cases[] = {
      {"a-b-c", "-", "_", true, "a_b_c"},                          // every occurrence
      {"xx", "x", "xx", true, "xxxx"},                             // the replacement is not searched again
      {"aaa", "aa", "b", true, "ba"},                              // overlaps resolve from the left
      {"[Subject]_[SUBJECT]", "[subject]", "Rechnung", false,      // letter case ignored
       "Rechnung_Rechnung"},
      {"[Subject]_[SUBJECT]", "[Subject]", "R", true, "R_[SUBJECT]"},  // ... or not
      {"Größe ÄRGER ärger", "ärger", "Ä", false, "Größe Ä Ä"},     // umlauts by the case mapping
      {"Grüße [Name]!", "[name]", "Jörg", false, "Grüße Jörg!"},   // multibyte text before the match
      {"text", "", "x", false, "text"},                            // empty pattern: unchanged
      {"abc", "abcd", "x", false, "abc"},                          // pattern longer than the text
      {"ΟΔΟΣ οδος", "οδος", "weg", false, "weg weg"},              // final sigma matches Σ
      {"aé", "\xA9", "x", true, "aé"},                             // never matches inside a character
      {"a\xFF" "b", "\xFF", "-", false, "a-b"},                    // an invalid byte matches itself
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReplaceText(c.text, c.oldPattern, c.newPattern, c.caseSensitive), c.result)
        << c.text << " / " << c.oldPattern;
  }
}

class NormalizeFolderTextTest : public ::testing::Test {
 protected:
  std::string Normalize(std::string_view text, bool backslash = true) {
    return NormalizeFolderText(text, backslash, [this](const std::string& name) -> std::optional<std::string> {
      if (auto it = env.find(name); it != env.end()) return it->second;
      return std::nullopt;
    });
  }
  std::map<std::string, std::string> env = {
      {"USERPROFILE", "C:\\Users\\jörg"}, {"DRIVE", "D:"}, {"EMPTY", ""}, {"PCT", "%DRIVE%"}};
};

TEST_F(NormalizeFolderTextTest, TrimsExpandsAndEndsInBackslash) {
  struct Case {
    std::string_view text;
    bool backslash;
    std::string_view result;
  };
  const Case cases[] = {
      {" \t C:\\Export \r\n", true, "C:\\Export\\"},                      // controls and blanks trimmed
      {"C:\\Export\\", true, "C:\\Export\\"},                             // no second backslash
      {"C:\\Export", false, "C:\\Export"},                                // none asked for
      {" \t\r\n", true, ""},                                             // nothing left: no backslash either
      {"%USERPROFILE%\\Anhänge", true, "C:\\Users\\jörg\\Anhänge\\"},     // defined variable
      {"%DRIVE%%USERPROFILE%", false, "D:C:\\Users\\jörg"},              // adjacent references
      {"%drive%\\x", false, "%drive%\\x"},                               // names are looked up as written
      {"%NOPE%\\x", false, "%NOPE%\\x"},                                 // undefined: stays as written
      {"%NOPE%DRIVE%", false, "%NOPE%DRIVE%"},                           // ... and its closing % is used up
      {"50% Rabatt", false, "50% Rabatt"},                               // a lone %
      {"a%%b", false, "a%%b"},                                           // empty name
      {"%PCT%\\x", false, "%DRIVE%\\x"},                                 // values are not expanded again
      {"x%EMPTY%y", false, "xy"},                                        // an empty value
      {"%EMPTY%", true, ""},                                             // expands to nothing at all
  };
  for (const auto& c : cases) EXPECT_EQ(Normalize(c.text, c.backslash), c.result) << c.text;
}

TEST_F(NormalizeFolderTextTest, KeepsTextUnexpandedWhenTheResultExceeds1024Characters) {
  // 1024 characters in all still fit; counted in characters, not bytes.
  env["LONG"] = std::string(1020, 'a');
  env["UMLAUTS"] = "";
  for (int i = 0; i < 1020; ++i) env["UMLAUTS"] += "ä";
  EXPECT_EQ(Normalize("%LONG%\\abc", false), std::string(1020, 'a') + "\\abc");
  EXPECT_EQ(Normalize("%UMLAUTS%\\abc", false), env["UMLAUTS"] + "\\abc");
  EXPECT_EQ(Normalize("  %LONG%\\abcd ", true), "%LONG%\\abcd\\");
}

TEST(NormalizeFolderText, UsesTheProcessEnvironmentByDefault) {
  SetEnv("TROVEX_TEXT_UTILS_TEST", "/srv/export");
  EXPECT_EQ(NormalizeFolderText("%TROVEX_TEXT_UTILS_TEST%", true), "/srv/export\\");
  SetEnv("TROVEX_TEXT_UTILS_TEST", nullptr);
  EXPECT_EQ(NormalizeFolderText("%TROVEX_TEXT_UTILS_TEST%", false), "%TROVEX_TEXT_UTILS_TEST%");
}

// The message texts' tables live beside the other text helpers.
TEST(MessageBox, StyleCombinesForegroundIconAndButtons) {
  using enum MessageButton;
  struct Case {
    MessageKind kind;
    MessageButtons buttons;
    unsigned style;
  };
  const Case cases[] = {
      {MessageKind::Error, {OK}, 0x10030},                     // the add-in's error icon
      {MessageKind::Information, {OK}, 0x10040},               //
      {MessageKind::Question, {YesNo}, 0x10024},               //
      {MessageKind::Warning, {OKCancel}, 0x10011},             // the add-in's warning icon
      {MessageKind::Confirmation, {YesNoCancel}, 0x10023},     //
      {MessageKind::Error, {AbortRetryIgnore}, 0x10032},       //
      {MessageKind::Warning, {RetryCancel}, 0x10015},          //
      {MessageKind::Question, {OKCancel, YesNo}, 0x10025},     // several members add up
      {MessageKind::Information, {}, 0x10040},                 // no buttons: OK's flag is 0 anyway
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MessageBoxStyle(c.kind, c.buttons), c.style) << static_cast<int>(c.kind);
  }
}

TEST(MessageBox, CaptionFallsBackToTheKindsDefault) {
  EXPECT_EQ(EffectiveCaption("", MessageKind::Error), "Fehler");
  EXPECT_EQ(EffectiveCaption("", MessageKind::Information), "Information");
  EXPECT_EQ(EffectiveCaption("", MessageKind::Question), "Frage");
  EXPECT_EQ(EffectiveCaption("", MessageKind::Warning), "Warnung");
  EXPECT_EQ(EffectiveCaption("", MessageKind::Confirmation), "Bestätigung");
  EXPECT_EQ(EffectiveCaption("Anhänge exportieren", MessageKind::Error), "Anhänge exportieren");
}

}  // namespace
}  // namespace trovex
