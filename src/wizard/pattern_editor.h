// Page 4's two menus and the pattern box's editing rule.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "engine/target_naming.h"

namespace trovex::wizard {

// An entry of the field menu; `token` indexes engine::PlaceholderTokens, -1
// marks the separator line.
struct FieldMenuEntry {
  std::string_view caption;
  int token;
};

inline constexpr std::array<FieldMenuEntry, 7> kFieldMenu = {{
    {"Betreff der E-Mail [Subject]", 4},
    {"Name des Absenders [SenderName]", 0},
    {"Mailadresse des Absenders [SenderMail]", 1},
    {"Name des Empfängers [ReceiverName]", 2},
    {"Mailadresse des Empfängers [ReceiverMail]", 3},
    {"", -1},
    {"Empfangsdatum (Jahr-Monat-Tag) [ReceivedTime]", 5},
}};

inline constexpr std::string_view PresetPatterns[] = {
    "[ReceivedTime] - [SenderName] - [Subject]",
    "[ActualDate(yyyy-mm)] - [Subject] - [SenderMail]",
    "[SenderMail]_[Subject]_[ReceivedTime]",
};

// An entry of the preset menu; `pattern` indexes PresetPatterns.
struct PresetMenuEntry {
  std::string_view caption;
  int pattern;
};

inline constexpr std::array<PresetMenuEntry, 3> kPresetMenu = {{
    {"Empfangsdatum - Absendername - Betreff", 0},
    {"Akt. Datum(Jahr-Monat) - Betreff - AbsenderMail", 1},
    {"AbsenderMail_Betreff_Sendedatum", 2},
}};

// Longest pattern the box takes, in characters.
inline constexpr int kMaxPatternLength = 256;

struct PatternEdit {
  std::string text;
  int caret;  // in characters
};

// `token` put in front of the character at `selectionStart` (characters,
// clamped to the text); a selection is not replaced. The caret goes right
// after the token.
PatternEdit InsertToken(std::string_view text, int selectionStart, std::string_view token);

}  // namespace trovex::wizard
