#pragma once
// Reading a terminal model back as text, for the terminal's tests.

#include <string>

#include "terminal/vterm_model.h"

namespace tambrel {

// The visible cells of a row as UTF-8, trailing blanks removed.
inline std::string RowText(const TVTermModel& terminal, int row) {
  std::string text;
  const TLine& line = terminal.Line(row);
  for (int col = 0; col < terminal.Cols(); ++col) {
    const char32_t c = line.Chars[static_cast<size_t>(col)];
    if (c < 0x80) {
      text += static_cast<char>(c);
    } else if (c < 0x800) {
      text += static_cast<char>(0xC0 | (c >> 6));
      text += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      text += static_cast<char>(0xE0 | (c >> 12));
      text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      text += static_cast<char>(0xF0 | (c >> 18));
      text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      text += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return text.erase(text.find_last_not_of(' ') + 1);
}

}  // namespace tambrel
