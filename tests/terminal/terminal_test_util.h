#pragma once
// A terminal model set up for the tests, and read back as text.

#include <memory>
#include <string>

#include "terminal/vterm_model.h"

namespace tambrel {

// cols x rows, wrapping at the right edge (or, with wrapCol, to that column) unless wrap is off.
inline std::unique_ptr<TVTermModel> MakeTerminal(int cols = 80, int rows = 24, bool wrap = true,
                                                 int wrapCol = 0) {
  auto terminal = std::make_unique<TVTermModel>("/nonexistent/LOG.TXT");
  terminal->SetRows(rows);
  terminal->SetCols(cols);
  terminal->SetAutoWrap(wrap);
  terminal->SetAutoWrapCol(wrapCol);
  return terminal;
}

// The visible cells of a row, trailing blanks removed.
inline std::u32string RowText(const TVTermModel& terminal, int row) {
  std::u32string text(terminal.Line(row).Chars.data(), static_cast<size_t>(terminal.Cols()));
  return text.erase(text.find_last_not_of(U' ') + 1);
}

}  // namespace tambrel
