#include "slides/transition_styles.h"

#include <stdexcept>

#include "support/text_format.h"

namespace tambrel {

namespace {

using K = TStyleKind;
using A = TAnchor;
using S = TSplit;
using W = TBandWidth;
using Side = TBandSide;
using O = TBandOrder;

constexpr TStyleGeometry Block(const char* name, K kind, A anchor = A::None, S split = S::Whole) {
  TStyleGeometry geometry{name, kind};
  geometry.Anchor = anchor;
  geometry.Split = split;
  return geometry;
}

constexpr TBandFamily Rows(W width, Side even, Side odd, O order) {
  return {TBandAxis::Rows, width, even, odd, order};
}
constexpr TBandFamily Cols(W width, Side even, Side odd, O order) {
  return {TBandAxis::Columns, width, even, odd, order};
}

constexpr TStyleGeometry Banded(const char* name, TBandFamily first, TBandFamily second = {}) {
  TStyleGeometry geometry{name, K::Bands};
  geometry.Bands[0] = first;
  geometry.Bands[1] = second;
  return geometry;
}

constexpr TStyleGeometry Front(const char* name, K kind, A anchor, bool curved,
                               TTurn turn = TTurn::Clockwise) {
  TStyleGeometry geometry{name, kind};
  geometry.Anchor = anchor;
  geometry.Curved = curved;
  geometry.Turn = turn;
  return geometry;
}

// Shorthands for the bands of one side.
constexpr TBandFamily ShredRows(Side side) {
  return Rows(W::Shred, side, side, O::Random);
}
constexpr TBandFamily ShredCols(Side side) {
  return Cols(W::Shred, side, side, O::Random);
}

constexpr std::array<TStyleGeometry, TransitionStyleCount> Styles = {{
    Block("Swap", K::Swap),
    Block("Expand from right", K::Expand, A::Right),
    Block("Expand from left", K::Expand, A::Left),
    Block("Slide in from right", K::Slide, A::Right),
    Block("Slide in from left", K::Slide, A::Left),
    Block("Reveal from left", K::Reveal, A::Left),
    Block("Reveal from right", K::Reveal, A::Right),
    Block("Expand in from right", K::ExpandIn, A::Right),
    Block("Expand in from left", K::ExpandIn, A::Left),
    Block("Expand in to middle", K::Expand, A::None, S::LeftRight),
    Block("Expand out from middle", K::Expand, A::MiddleColumn),
    Block("Reveal out from middle", K::Reveal, A::MiddleColumn),
    Block("Reveal in from sides", K::Reveal, A::None, S::LeftRight),
    Block("Expand in from sides", K::ExpandIn, A::None, S::LeftRight),
    Block("Unroll from left", K::Unroll, A::Left),
    Block("Unroll from right", K::Unroll, A::Right),
    Block("Build up from right", K::BuildUp, A::Right),
    Block("Build up from left", K::BuildUp, A::Left),
    Block("Expand from bottom", K::Expand, A::Bottom),
    Block("Expand from top", K::Expand, A::Top),
    Block("Slide in from bottom", K::Slide, A::Bottom),
    Block("Slide in from top", K::Slide, A::Top),
    Block("Reveal from top", K::Reveal, A::Top),
    Block("Reveal from bottom", K::Reveal, A::Bottom),
    Block("Expand in from bottom", K::ExpandIn, A::Bottom),
    Block("Expand in from top", K::ExpandIn, A::Top),
    Block("Expand in to middle ( horiz)", K::Expand, A::None, S::TopBottom),
    Block("Expand out from middle ( horiz)", K::Expand, A::MiddleRow),
    Block("Reveal from middle ( horiz)", K::Reveal, A::MiddleRow),
    Block("Slide in from top / bottom", K::Slide, A::None, S::TopBottom),
    Block("Expand in from top / bottom", K::ExpandIn, A::None, S::TopBottom),
    Block("Unroll from top", K::Unroll, A::Top),
    Block("Unroll from bottom", K::Unroll, A::Bottom),
    Block("Expand from bottom", K::BuildUp, A::Bottom),  // the name repeats row 18; built up from the bottom
    Block("Expand in from top", K::BuildUp, A::Top),     // the name repeats row 25; built up from the top
    Block("Expand from bottom right", K::Expand, A::BottomRight),
    Block("Expand from top right", K::Expand, A::TopRight),
    Block("Expand from top left", K::Expand, A::TopLeft),
    Block("Expand from bottom left", K::Expand, A::BottomLeft),
    Block("Slide in from bottom right", K::Slide, A::BottomRight),
    Block("Slide in from top right", K::Slide, A::TopRight),
    Block("Slide in from top left", K::Slide, A::TopLeft),
    Block("Slide in from bottom left", K::Slide, A::BottomLeft),
    Block("Reveal from top left", K::Reveal, A::TopLeft),
    Block("Reveal from bottom left", K::Reveal, A::BottomLeft),
    Block("Reveal from bottom right", K::Reveal, A::BottomRight),
    Block("Reveal from top right", K::Reveal, A::TopRight),
    Block("Appear and Contract to top left", K::Zoom, A::TopLeft),
    Block("Appear and Contract to bottom left", K::Zoom, A::BottomLeft),
    Block("Appear and Contract to bottom right", K::Zoom, A::BottomRight),
    Block("Appear and Contract to top right", K::Zoom, A::TopRight),
    Block("Appear and Contract to middle", K::Zoom, A::Centre),
    Block("Expand out from centre", K::Expand, A::Centre),
    Block("Reveal out from centre", K::Reveal, A::Centre),
    Block("Reveal in to centre", K::Reveal, A::Outside),
    Block("Quarters Reveal in to middle", K::Reveal, A::None, S::Quarters),
    Block("Quarters Expand to middle", K::Expand, A::None, S::Quarters),
    Block("Quarters Slide in to middle", K::Slide, A::None, S::Quarters),
    Banded("Curved Reveal from left", Rows(W::Line, Side::Start, Side::Start, O::Curve)),
    Banded("Curved Reveal from right", Rows(W::Line, Side::End, Side::End, O::Curve)),
    Banded("Bars in from right", Rows(W::Bar, Side::End, Side::End, O::Forward)),
    Banded("Bars in from left", Rows(W::Bar, Side::Start, Side::Start, O::Forward)),
    Banded("Bars left then right", Rows(W::Bar, Side::Start, Side::End, O::EvenFirst)),
    Banded("Bars right then left", Rows(W::Bar, Side::End, Side::Start, O::EvenFirst)),
    Banded("Bars from both sides", Rows(W::Bar, Side::Start, Side::End, O::Together)),
    Banded("Uneven shred from right", ShredRows(Side::End)),
    Banded("Uneven shred from left", ShredRows(Side::Start)),
    Banded("Uneven shred out from middle ( horiz)", ShredRows(Side::Out)),
    Banded("Uneven shred in to middle ( horiz)", ShredRows(Side::In)),
    Banded("Curved Reveal from top", Cols(W::Line, Side::Start, Side::Start, O::Curve)),
    Banded("Curved Reveal from bottom", Cols(W::Line, Side::End, Side::End, O::Curve)),
    Banded("Bars from bottom", Cols(W::Bar, Side::End, Side::End, O::Forward)),
    Banded("Bars from top", Cols(W::Bar, Side::Start, Side::Start, O::Forward)),
    Banded("Bars top then bottom", Cols(W::Bar, Side::Start, Side::End, O::EvenFirst)),
    Banded("Bars bottom then top", Cols(W::Bar, Side::End, Side::Start, O::EvenFirst)),
    Banded("Bars from top and bottom", Cols(W::Bar, Side::Start, Side::End, O::Together)),
    Banded("Unven shred from bottom", ShredCols(Side::End)),
    Banded("Uneven shred from top", ShredCols(Side::Start)),
    Banded("Uneven shred from horizon", ShredCols(Side::Out)),
    Banded("Uneven shred in to horizon", ShredCols(Side::In)),
    Front("Curved reveal from top left", K::Corner, A::TopLeft, true),
    Front("Curved reveal from top right", K::Corner, A::TopRight, true),
    Front("Curved reveal from bottom left", K::Corner, A::BottomLeft, true),
    Front("Curved reveal from bottom right", K::Corner, A::BottomRight, true),
    Front("Circular reveal from centre", K::Circle, A::Centre, false),
    Front("Circular reveal to centre", K::Circle, A::Centre, true),
    // Criss-cross: bars of rows grown across united with bars of columns grown down or up, staggered
    // from the named corner.
    Banded("Criss Cross reveal from bottom right", Rows(W::Bar, Side::End, Side::End, O::Backward),
           Cols(W::Bar, Side::End, Side::End, O::Backward)),
    Banded("Criss Cross reveal from top right", Rows(W::Bar, Side::End, Side::End, O::Forward),
           Cols(W::Bar, Side::Start, Side::Start, O::Backward)),
    Banded("Criss Cross reveal from bottom left", Rows(W::Bar, Side::Start, Side::Start, O::Backward),
           Cols(W::Bar, Side::End, Side::End, O::Forward)),
    Banded("Criss Cross reveal from top left", Rows(W::Bar, Side::Start, Side::Start, O::Forward),
           Cols(W::Bar, Side::Start, Side::Start, O::Forward)),
    // Bounce: every other bar comes from the opposite side.
    Banded("Criss Cross reveal bounce from top left", Rows(W::Bar, Side::Start, Side::End, O::Forward),
           Cols(W::Bar, Side::Start, Side::End, O::Forward)),
    Banded("Criss Cross reveal bounce from bottom left", Rows(W::Bar, Side::Start, Side::End, O::Backward),
           Cols(W::Bar, Side::End, Side::Start, O::Forward)),
    Banded("Criss Cross reveal bounce from top right", Rows(W::Bar, Side::End, Side::Start, O::Forward),
           Cols(W::Bar, Side::Start, Side::End, O::Backward)),
    Banded("Criss Cross reveal bounce from bottom right", Rows(W::Bar, Side::End, Side::Start, O::Backward),
           Cols(W::Bar, Side::End, Side::Start, O::Backward)),
    Banded("Criss Cross reveal from right top and bottom", Rows(W::Bar, Side::End, Side::End, O::Together),
           Cols(W::Bar, Side::Start, Side::End, O::Together)),
    Banded("Criss Cross reveal from left top and bottom", Rows(W::Bar, Side::Start, Side::Start, O::Together),
           Cols(W::Bar, Side::Start, Side::End, O::Together)),
    Banded("Criss Cross reveal from left right and bottom", Rows(W::Bar, Side::Start, Side::End, O::Together),
           Cols(W::Bar, Side::End, Side::End, O::Together)),
    Banded("Criss Cross reveal from left right and top", Rows(W::Bar, Side::Start, Side::End, O::Together),
           Cols(W::Bar, Side::Start, Side::Start, O::Together)),
    Banded("Criss Cross reveal from top left right and bottom",
           Rows(W::Bar, Side::Start, Side::End, O::Together),
           Cols(W::Bar, Side::Start, Side::End, O::Together)),
    Banded("Criss Cross reveal from bottom left top right",
           Rows(W::Bar, Side::Start, Side::Start, O::Backward),
           Cols(W::Bar, Side::Start, Side::Start, O::Backward)),
    Banded("Uneven shred from bottom and right", ShredCols(Side::End), ShredRows(Side::End)),
    Banded("Uneven shred from top and right", ShredCols(Side::Start), ShredRows(Side::End)),
    Banded("Uneven shred from bottom and left", ShredCols(Side::End), ShredRows(Side::Start)),
    Banded("Uneven shred from top and left", ShredCols(Side::Start), ShredRows(Side::Start)),
    Banded("Uneven shred from horiz and right", ShredCols(Side::Out), ShredRows(Side::End)),
    Banded("Uneven shred from horiz and left", ShredCols(Side::Out), ShredRows(Side::Start)),
    Banded("Uneven shred from bottom and vert middle", ShredCols(Side::End), ShredRows(Side::Out)),
    Banded("Uneven shred from top and vert middle", ShredCols(Side::Start), ShredRows(Side::Out)),
    Banded("Uneven shred from centre", ShredCols(Side::Out), ShredRows(Side::Out)),
    Banded("Uneven shred to centre", ShredCols(Side::In), ShredRows(Side::In)),
    Front("Reveal diagonal from top left", K::Corner, A::TopLeft, false),
    Front("Reveal diagonal from top right", K::Corner, A::TopRight, false),
    Front("Reveal diagonal from bottom left", K::Corner, A::BottomLeft, false),
    Front("Reveal diagonal from bottom right", K::Corner, A::BottomRight, false),
    Front("Diagonal sweep from top left bottom right anticlockwise", K::Sweep, A::TopLeft, false,
          TTurn::Anticlockwise),
    Front("Diagonal sweep from top left bottom right clockwise", K::Sweep, A::TopLeft, false,
          TTurn::Clockwise),
    Front("Starburst clockwise from center", K::Starburst, A::Centre, false, TTurn::Clockwise),
    Banded("Triangular shred to right", Rows(W::Line, Side::Start, Side::Start, O::Teeth)),
    Block("Fade", K::Fade),
    Block("Pivot from top left", K::Pivot, A::TopLeft),
    Block("Pivot from bottom left", K::Pivot, A::BottomLeft),
    Block("Pivot from top right", K::Pivot, A::TopRight),
    Block("Pivot from bottom right", K::Pivot, A::BottomRight),
    Block("Speckle appear from right", K::Speckle, A::Right),
    Block("Speckle appear from left", K::Speckle, A::Left),
    Block("Speckle appear from bottom", K::Speckle, A::Bottom),
    Block("Speckle appear from top", K::Speckle, A::Top),
    Block("Random squares appear", K::Squares),
}};

}  // namespace

const std::array<TStyleGeometry, TransitionStyleCount>& TransitionStyles() {
  return Styles;
}

const TStyleGeometry& TransitionStyle(int style) {
  if (style < 0 || style >= TransitionStyleCount) throw std::out_of_range(StrFormat("No style %d", style));
  return Styles[static_cast<size_t>(style)];
}

std::string TransitionStyleName(int style) {
  return TransitionStyle(style).Name;
}

std::optional<int> TransitionStyleIndex(const std::string& name) {
  const std::string key = UpperAscii(name);
  for (int style = 0; style < TransitionStyleCount; ++style) {
    if (UpperAscii(Styles[static_cast<size_t>(style)].Name) == key) return style;
  }
  return std::nullopt;
}

}  // namespace tambrel
