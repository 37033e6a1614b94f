#pragma once
// The colours of a cell, worked out from its attribute byte: bits 0-2 foreground colour, bit 3 bright
// foreground, bits 4-6 background colour, bit 7 bright background.

#include <cstdint>

namespace tambrel {

struct TRgb {
  uint8_t Red = 0, Green = 0, Blue = 0;
  friend bool operator==(const TRgb&, const TRgb&) = default;
};

struct TCellColours {
  TRgb Background;
  TRgb Text;
};

// The 16 standard colours: 0 black, 1 dark red, 2 dark green, 3 dark yellow, 4 dark blue, 5 dark
// magenta, 6 dark cyan, 7 light grey, 8 dark grey, 9 red, ... 15 white. Index taken modulo 16.
TRgb PaletteColour(int index);

// In colour: background entry attribute >> 4, text entry attribute & 15. Monochrome: grey background
// when any background bit is set, else white; black text when any foreground bit is set, else white.
TCellColours CellColours(uint8_t attribute, bool monoChrome);

}  // namespace tambrel
