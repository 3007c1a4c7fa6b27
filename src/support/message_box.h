// Message boxes as the add-in shows them: kinds, button sets, captions and
// the Win32 style bits. Front ends (wizard, CLI, tests) implement
// MessageBoxes; the tables here are shared by all of them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace trovex {

enum class MessageKind : int { Error = 0, Information = 1, Question = 2, Warning = 3, Confirmation = 4 };

enum class MessageButton : int {
  AbortRetryIgnore = 0,
  OK = 1,
  OKCancel = 2,
  RetryCancel = 3,
  YesNo = 4,
  YesNoCancel = 5,
};

// A set of MessageButton members; the style sums the flags of all members.
class MessageButtons {
 public:
  constexpr MessageButtons() = default;
  constexpr MessageButtons(std::initializer_list<MessageButton> buttons) {
    for (MessageButton b : buttons) bits_ |= Bit(b);
  }
  constexpr bool Contains(MessageButton b) const { return (bits_ & Bit(b)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr MessageButtons& operator|=(MessageButton b) {
    bits_ |= Bit(b);
    return *this;
  }
  friend constexpr bool operator==(MessageButtons, MessageButtons) = default;

 private:
  static constexpr std::uint8_t Bit(MessageButton b) {
    return static_cast<std::uint8_t>(1u << static_cast<unsigned>(b));
  }
  std::uint8_t bits_ = 0;
};

// What the user chose; the values of the Win32 ID* constants.
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;
inline constexpr int kResultAbort = 3;
inline constexpr int kResultRetry = 4;
inline constexpr int kResultIgnore = 5;
inline constexpr int kResultYes = 6;
inline constexpr int kResultNo = 7;

// MB_SETFOREGROUND | the kind's icon | the buttons' flags.
unsigned MessageBoxStyle(MessageKind kind, MessageButtons buttons);

// "Fehler", "Information", "Frage", "Warnung", "Bestätigung".
std::string_view DefaultCaption(MessageKind kind);

// The caption to show: `caption`, or the kind's default when it is empty.
std::string EffectiveCaption(std::string_view caption, MessageKind kind);

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows a modal message and returns one of the kResult* codes.
  virtual int ShowMessageBox(const std::string& text, const std::string& caption, MessageKind kind,
                             MessageButtons buttons) = 0;
};

}  // namespace trovex
