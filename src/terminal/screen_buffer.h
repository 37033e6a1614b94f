#pragma once
// The terminal's character cells: 1001 lines of 151 cells, reached through a line-index array so that
// scrolling and inserting or deleting lines move indices, never line contents.

#include <array>
#include <cstdint>
#include <vector>

namespace tambrel {

inline constexpr int kBufferRows = 1001;  // screen rows 0..1000
inline constexpr int kBufferCols = 151;   // columns 0..150
inline constexpr int kMaxRows = 1000;
inline constexpr int kMaxCols = 150;
inline constexpr uint8_t kDefaultAttribute = 240;  // black on bright white

struct TLine {
  std::array<char32_t, kBufferCols> Chars;
  std::array<uint8_t, kBufferCols> Attrs;
};

class TScreenBuffer {
 public:
  TScreenBuffer();

  const TLine& Line(int row) const { return Lines[Index[row]]; }
  TLine& Line(int row) { return Lines[Index[row]]; }

  // Spaces with the given attribute in columns first..last of a row (inclusive, clipped to the line).
  void ClearCells(int row, int first, int last, uint8_t attribute);
  void ClearLine(int row, uint8_t attribute) { ClearCells(row, 0, kBufferCols - 1, attribute); }

  // Rows top..bottom move up (down) by count; the rows opened at the bottom (top) are cleared.
  void ScrollUp(int top, int bottom, int count, uint8_t attribute);
  void ScrollDown(int top, int bottom, int count, uint8_t attribute);

 private:
  std::vector<TLine> Lines;
  std::array<uint16_t, kBufferRows> Index;
};

}  // namespace tambrel
