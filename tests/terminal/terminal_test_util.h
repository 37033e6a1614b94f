#pragma once
// Reading a terminal model back as text, for the terminal's tests.

#include <string>

#include "terminal/vterm_model.h"

namespace tambrel {

// The visible cells of a row, trailing blanks removed.
inline std::u32string RowText(const TVTermModel& terminal, int row) {
  std::u32string text(terminal.Line(row).Chars.data(), static_cast<size_t>(terminal.Cols()));
  return text.erase(text.find_last_not_of(U' ') + 1);
}

}  // namespace tambrel
