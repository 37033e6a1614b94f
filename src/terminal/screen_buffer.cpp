#include "terminal/screen_buffer.h"

#include <algorithm>
#include <numeric>

namespace tambrel {

TScreenBuffer::TScreenBuffer() : Lines(kBufferRows) {
  std::iota(Index.begin(), Index.end(), uint16_t{0});
  for (int row = 0; row < kBufferRows; ++row) ClearLine(row, kDefaultAttribute);
}

void TScreenBuffer::ClearCells(int row, int first, int last, uint8_t attribute) {
  first = std::max(first, 0);
  last = std::min(last, kBufferCols - 1);
  if (first > last) return;
  TLine& line = Line(row);
  std::fill(line.Chars.begin() + first, line.Chars.begin() + last + 1, U' ');
  std::fill(line.Attrs.begin() + first, line.Attrs.begin() + last + 1, attribute);
}

void TScreenBuffer::ScrollUp(int top, int bottom, int count, uint8_t attribute) {
  if (top > bottom || count <= 0) return;
  count = std::min(count, bottom - top + 1);
  std::rotate(Index.begin() + top, Index.begin() + top + count, Index.begin() + bottom + 1);
  for (int row = bottom - count + 1; row <= bottom; ++row) ClearLine(row, attribute);
}

void TScreenBuffer::ScrollDown(int top, int bottom, int count, uint8_t attribute) {
  if (top > bottom || count <= 0) return;
  count = std::min(count, bottom - top + 1);
  std::rotate(Index.begin() + top, Index.begin() + bottom + 1 - count, Index.begin() + bottom + 1);
  for (int row = top; row < top + count; ++row) ClearLine(row, attribute);
}

}  // namespace tambrel
