#pragma once
// The 128 transition styles: each style's name and the geometry it is drawn with. The geometry of a
// family lives in one row per style, so that the table can be read against the contact sheet
// (tools/slide-sheet). Terms: F is the frame rectangle (frame width and height of the frame size
// rule) placed at the style's anchor; an edge anchor gives F the full other axis.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tambrel {

inline constexpr int TransitionStyleCount = 128;
inline constexpr int StyleSwap = 0;
inline constexpr int StyleFade = 118;

enum class TStyleKind : uint8_t {
  Swap,       // the whole new picture at once
  Reveal,     // new[F] drawn at F
  Slide,      // the part of new at the anchor opposite to F's drawn into F
  Expand,     // the whole new picture (or half, or quarter) scaled into F
  ExpandIn,   // the whole new picture scaled to the frame size at the middle of the edge
  Zoom,       // new[F at the anchor] scaled to the whole area
  Unroll,     // Reveal plus the next step-length strip of new, mirrored (the roll)
  BuildUp,    // step-length strips laid from the anchor edge; the current one slides in from the far side
  Bands,      // bars, shreds and curved fronts: bands across the picture, each grown from its side
  Corner,     // a front around the anchor corner: a quarter ellipse (curved) or a diagonal line
  Circle,     // a circle about the centre, growing (Out) or closing in (In)
  Sweep,      // two opposite sectors growing from the top left to bottom right diagonal
  Starburst,  // sixteen sectors, each widening clockwise
  Fade,       // each channel blended in proportion to the progress
  Pivot,      // new rotated about the anchor corner into place
  Speckle,    // small cells appearing at random, earlier near the anchor edge
  Squares,    // large cells appearing at random
};

enum class TAnchor : uint8_t {
  None,
  Left,
  Right,
  Top,
  Bottom,
  TopLeft,
  TopRight,
  BottomLeft,
  BottomRight,
  Centre,        // F centred
  MiddleColumn,  // a full-height band centred across
  MiddleRow,     // a full-width band centred down
  Outside,       // all but a centred rectangle that shrinks as F grows
};

// Block styles may split the picture: each half or quarter is anchored at its outer edge or corner.
enum class TSplit : uint8_t { Whole, LeftRight, TopBottom, Quarters };

// One family of bands. Rows: bands of rows, grown across; Columns: bands of columns, grown down or up.
enum class TBandAxis : uint8_t { None, Rows, Columns };
enum class TBandWidth : uint8_t { Bar, Shred, Line };  // 12 bands; about 8 pixels each; one pixel each
// Start: from the left or top; End: from the right or bottom; Out: from the middle; In: to the middle.
enum class TBandSide : uint8_t { Start, End, Out, In };
// When each band grows: all alike, staggered from the first or the last band (every other band a little
// later), at random, even bands then odd ones, along a curve (the middle first), or as triangular teeth
// of random height.
enum class TBandOrder : uint8_t { Together, Forward, Backward, Random, EvenFirst, Curve, Teeth };

struct TBandFamily {
  TBandAxis Axis = TBandAxis::None;
  TBandWidth Width = TBandWidth::Bar;
  TBandSide Even = TBandSide::Start, Odd = TBandSide::Start;
  TBandOrder Order = TBandOrder::Together;
};

enum class TTurn : uint8_t { Clockwise, Anticlockwise };

struct TStyleGeometry {
  const char* Name;
  TStyleKind Kind;
  TAnchor Anchor = TAnchor::None;
  TSplit Split = TSplit::Whole;
  TBandFamily Bands[2] = {};  // Bands: their union
  bool Curved = false;        // Corner: curved (true) or diagonal; Circle: closing in (true)
  TTurn Turn = TTurn::Clockwise;
};

const std::array<TStyleGeometry, TransitionStyleCount>& TransitionStyles();
const TStyleGeometry& TransitionStyle(int style);
std::string TransitionStyleName(int style);
// The first style whose name equals name without regard to ASCII letter case.
std::optional<int> TransitionStyleIndex(const std::string& name);

}  // namespace tambrel
