#include "wizard/pattern_editor.h"

#include <algorithm>

#include "support/utf8.h"

namespace trovex::wizard {

PatternEdit InsertToken(std::string_view text, int selectionStart, std::string_view token) {
  // Count in characters, as the edit control does, so a caret behind an
  // umlaut lands behind it here too.
  std::size_t offset = 0;
  int characters = 0;
  const int wanted = std::max(selectionStart, 0);
  while (characters < wanted && offset < text.size()) {
    offset += CharLengthAt(text, offset);
    ++characters;
  }
  PatternEdit edit;
  edit.text.reserve(text.size() + token.size());
  edit.text.append(text.substr(0, offset)).append(token).append(text.substr(offset));
  edit.caret = characters + static_cast<int>(CodePointCount(token));
  return edit;
}

}  // namespace trovex::wizard
