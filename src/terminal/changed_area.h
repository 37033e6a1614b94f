#pragma once
// The cells written since the painter last took them: the smallest rectangle of rows and columns, or
// the whole screen after a scroll, a clear or a line insert/delete.

#include <algorithm>

namespace tambrel {

struct TChangedArea {
  int FirstRow = 9999;
  int FirstCol = 9999;
  int LastRow = -1;
  int LastCol = -1;
  bool WholeScreen = false;

  bool Empty() const { return !WholeScreen && LastRow < 0; }

  void Widen(int row, int firstCol, int lastCol) {
    if (WholeScreen) return;
    FirstRow = std::min(FirstRow, row);
    LastRow = std::max(LastRow, row);
    FirstCol = std::min(FirstCol, firstCol);
    LastCol = std::max(LastCol, lastCol);
  }
};

}  // namespace tambrel
