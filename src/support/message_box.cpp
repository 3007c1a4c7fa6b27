#include "support/message_box.h"

#include <array>

namespace trovex {
namespace {

constexpr unsigned kSetForeground = 0x10000;  // MB_SETFOREGROUND

struct KindEntry {
  std::string_view caption;
  unsigned icon;
};

// Error and Warning carry each other's Win32 icon (exclamation for errors,
// stop sign for warnings); users know the add-in's dialogs that way.
constexpr std::array<KindEntry, 5> kKinds = {{
    {"Fehler", 0x30},
    {"Information", 0x40},
    {"Frage", 0x20},
    {"Warnung", 0x10},
    {"Bestätigung", 0x20},
}};

// MB_ABORTRETRYIGNORE, MB_OK, MB_OKCANCEL, MB_RETRYCANCEL, MB_YESNO,
// MB_YESNOCANCEL, in the order of MessageButton.
constexpr std::array<unsigned, 6> kButtonFlags = {2, 0, 1, 5, 4, 3};

const KindEntry& Entry(MessageKind kind) {
  const auto i = static_cast<std::size_t>(kind);
  return kKinds.at(i < kKinds.size() ? i : 0);
}

}  // namespace

unsigned MessageBoxStyle(MessageKind kind, MessageButtons buttons) {
  unsigned style = kSetForeground | Entry(kind).icon;
  for (std::size_t i = 0; i < kButtonFlags.size(); ++i) {
    if (buttons.Contains(static_cast<MessageButton>(i))) style += kButtonFlags[i];
  }
  return style;
}

std::string_view DefaultCaption(MessageKind kind) { return Entry(kind).caption; }

std::string EffectiveCaption(std::string_view caption, MessageKind kind) {
  return std::string(caption.empty() ? DefaultCaption(kind) : caption);
}

}  // namespace trovex
