// Clearing, inserting and deleting lines and cells, and the scroll region.
#include <algorithm>

#include "terminal/vterm_model.h"

namespace tambrel {

void TVTermModel::ClearScreen() {
  ClearLines(0, NumRows - 1);
}

void TVTermModel::ClearLines(int first, int last) {
  for (int row = first; row <= last; ++row) Screen.ClearLine(row, Attr);
  MarkWholeScreen();
}

void TVTermModel::ClearToLineEnd() {
  Screen.ClearCells(Row, Col, NumCols, Attr);
  MarkCells(Row, Col, NumCols);
}

void TVTermModel::InsertLines(int count) {
  const int bottom = RegionBottom();
  if (Row < RegionTop() || Row > bottom) return;
  Col = 0;
  // A count that reaches past the bottom clears the rows from the cursor down.
  Screen.ScrollDown(Row, bottom, std::min(count, bottom - Row + 1), Attr);
  MarkWholeScreen();
}

void TVTermModel::DeleteLines(int count) {
  const int bottom = RegionBottom();
  if (Row < RegionTop() || Row > bottom) return;
  Col = 0;
  Screen.ScrollUp(Row, bottom, std::min(count, bottom - Row + 1), Attr);
  MarkWholeScreen();
}

void TVTermModel::InsertChars(int count) {
  if (Col + count >= NumCols) {
    ClearToLineEnd();
    return;
  }
  TLine& line = Screen.Line(Row);
  std::copy_backward(line.Chars.begin() + Col, line.Chars.begin() + NumCols - count,
                     line.Chars.begin() + NumCols);
  std::copy_backward(line.Attrs.begin() + Col, line.Attrs.begin() + NumCols - count,
                     line.Attrs.begin() + NumCols);
  Screen.ClearCells(Row, Col, Col + count - 1, Attr);
  MarkCells(Row, Col, NumCols - 1);
}

void TVTermModel::DeleteChars(int count) {
  if (Col + count >= NumCols) {
    ClearToLineEnd();
    return;
  }
  TLine& line = Screen.Line(Row);
  std::copy(line.Chars.begin() + Col + count, line.Chars.begin() + NumCols, line.Chars.begin() + Col);
  std::copy(line.Attrs.begin() + Col + count, line.Attrs.begin() + NumCols, line.Attrs.begin() + Col);
  Screen.ClearCells(Row, NumCols - count, NumCols - 1, Attr);
  MarkCells(Row, Col, NumCols - 1);
}

void TVTermModel::SetRegion(int top, int bottom) {
  if (top == 0 || bottom <= top || bottom > NumRows) {
    // The whole screen, whatever size it has later.
    StoredTop = 0;
    StoredBottom = kMaxRows - 1;
  } else {
    StoredTop = top - 1;
    StoredBottom = bottom - 1;
  }
}

}  // namespace tambrel
