#include "terminal/colour_table.h"

#include <array>
#include <cstddef>

namespace tambrel {

namespace {

constexpr std::array<TRgb, 16> kPalette = {{
    {0, 0, 0},
    {128, 0, 0},
    {0, 128, 0},
    {128, 128, 0},
    {0, 0, 128},
    {128, 0, 128},
    {0, 128, 128},
    {192, 192, 192},
    {128, 128, 128},
    {255, 0, 0},
    {0, 255, 0},
    {255, 255, 0},
    {0, 0, 255},
    {255, 0, 255},
    {0, 255, 255},
    {255, 255, 255},
}};

constexpr TRgb kWhite{255, 255, 255};
constexpr TRgb kBlack{0, 0, 0};
constexpr TRgb kGrey{127, 127, 127};

}  // namespace

TRgb PaletteColour(int index) {
  return kPalette[static_cast<size_t>(index) & 15u];
}

TCellColours CellColours(uint8_t attribute, bool monoChrome) {
  if (monoChrome) {
    return {(attribute & 0xF0) != 0 ? kGrey : kWhite, (attribute & 0x0F) != 0 ? kBlack : kWhite};
  }
  return {PaletteColour(attribute >> 4), PaletteColour(attribute & 15)};
}

}  // namespace tambrel
