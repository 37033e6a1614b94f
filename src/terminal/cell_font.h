#pragma once
// The terminal's font and its character cell: fixed pitch, and letter spacing chosen so that each
// character advances by exactly the whole-pixel cell width, which keeps long runs on the cell grid.

#include <QFont>

namespace tambrel {

struct TCellFont {
  QFont Font;
  int CharWidth = 1;   // at least 1
  int LineHeight = 1;  // at least 1
  int Ascent = 0;
};

// The system's fixed-pitch font at 8 pt.
QFont DefaultTerminalFont();

// Forces fixed pitch, measures the cell and sets the letter spacing that makes the advance CharWidth.
TCellFont MeasureCellFont(QFont font);

}  // namespace tambrel
