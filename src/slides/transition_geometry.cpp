#include "slides/transition_geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tambrel {

namespace {

int MulDiv(int64_t a, int64_t b, int64_t c) {
  return c == 0 ? 0 : static_cast<int>(a * b / c);
}

TAnchor Opposite(TAnchor anchor) {
  switch (anchor) {
    case TAnchor::Left:
      return TAnchor::Right;
    case TAnchor::Right:
      return TAnchor::Left;
    case TAnchor::Top:
      return TAnchor::Bottom;
    case TAnchor::Bottom:
      return TAnchor::Top;
    case TAnchor::TopLeft:
      return TAnchor::BottomRight;
    case TAnchor::TopRight:
      return TAnchor::BottomLeft;
    case TAnchor::BottomLeft:
      return TAnchor::TopRight;
    case TAnchor::BottomRight:
      return TAnchor::TopLeft;
    default:
      return anchor;
  }
}

bool IsRightSide(TAnchor a) {
  return a == TAnchor::Right || a == TAnchor::TopRight || a == TAnchor::BottomRight;
}
bool IsBottomSide(TAnchor a) {
  return a == TAnchor::Bottom || a == TAnchor::BottomLeft || a == TAnchor::BottomRight;
}
bool IsHorizontalEdge(TAnchor a) {
  return a == TAnchor::Left || a == TAnchor::Right;
}
bool IsVerticalEdge(TAnchor a) {
  return a == TAnchor::Top || a == TAnchor::Bottom;
}

// F of size (w, h) placed in region r at the anchor; an edge anchor takes r's full other axis.
TRect Place(const TRect& r, TAnchor anchor, int w, int h) {
  if (IsHorizontalEdge(anchor) || anchor == TAnchor::MiddleColumn) h = r.H;
  if (IsVerticalEdge(anchor) || anchor == TAnchor::MiddleRow) w = r.W;
  int x = r.X, y = r.Y;
  if (IsRightSide(anchor)) x = r.X + r.W - w;
  if (IsBottomSide(anchor)) y = r.Y + r.H - h;
  if (anchor == TAnchor::Centre || anchor == TAnchor::MiddleColumn) x = r.X + (r.W - w) / 2;
  if (anchor == TAnchor::Centre || anchor == TAnchor::MiddleRow) y = r.Y + (r.H - h) / 2;
  return {x, y, w, h};
}

// A rectangle of size (w, h) at the middle of the region's anchor edge.
TRect PlaceAtEdgeMiddle(const TRect& r, TAnchor anchor, int w, int h) {
  TRect f{r.X + (r.W - w) / 2, r.Y + (r.H - h) / 2, w, h};
  if (anchor == TAnchor::Left) f.X = r.X;
  if (anchor == TAnchor::Right) f.X = r.X + r.W - w;
  if (anchor == TAnchor::Top) f.Y = r.Y;
  if (anchor == TAnchor::Bottom) f.Y = r.Y + r.H - h;
  return f;
}

struct TRegion {
  TRect Area;
  TAnchor Anchor;
  int FrameW, FrameH;  // F's size in this region
};

std::vector<TRegion> RegionsOf(const TStyleGeometry& style, int width, int height, const TFrameSize& f) {
  const int halfW = width / 2, halfH = height / 2;
  const int fw1 = f.Width / 2, fw2 = f.Width - fw1, fh1 = f.Height / 2, fh2 = f.Height - fh1;
  switch (style.Split) {
    case TSplit::LeftRight:
      return {{{0, 0, halfW, height}, TAnchor::Left, fw1, f.Height},
              {{halfW, 0, width - halfW, height}, TAnchor::Right, fw2, f.Height}};
    case TSplit::TopBottom:
      return {{{0, 0, width, halfH}, TAnchor::Top, f.Width, fh1},
              {{0, halfH, width, height - halfH}, TAnchor::Bottom, f.Width, fh2}};
    case TSplit::Quarters:
      return {{{0, 0, halfW, halfH}, TAnchor::TopLeft, fw1, fh1},
              {{halfW, 0, width - halfW, halfH}, TAnchor::TopRight, fw2, fh1},
              {{0, halfH, halfW, height - halfH}, TAnchor::BottomLeft, fw1, fh2},
              {{halfW, halfH, width - halfW, height - halfH}, TAnchor::BottomRight, fw2, fh2}};
    case TSplit::Whole:
      break;
  }
  return {{{0, 0, width, height}, style.Anchor, f.Width, f.Height}};
}

void AddPiece(std::vector<TPiece>& pieces, const TPiece& piece) {
  if (!piece.Target.Empty() && !piece.Source.Empty()) pieces.push_back(piece);
}

// The roll beside a revealed part: the next step-length strip of new, mirrored.
TPiece RollOf(const TRect& area, TAnchor anchor, const TRect& revealed, int stepLength) {
  TRect strip = area;
  if (IsHorizontalEdge(anchor)) {
    strip.W = std::min(stepLength, area.W - revealed.W);
    strip.X = anchor == TAnchor::Left ? revealed.X + revealed.W : revealed.X - strip.W;
    return {strip, strip, true, false};
  }
  strip.H = std::min(stepLength, area.H - revealed.H);
  strip.Y = anchor == TAnchor::Top ? revealed.Y + revealed.H : revealed.Y - strip.H;
  return {strip, strip, false, true};
}

// Strips of step length laid from the anchor edge; the one being laid travels from the far edge to
// its place in the time the frame takes to grow by a step.
std::vector<TPiece> BuildUpPieces(const TRect& area, TAnchor anchor, int frameExtent, int stepLength) {
  const bool across = IsHorizontalEdge(anchor);
  const bool fromFar = anchor == TAnchor::Right || anchor == TAnchor::Bottom;
  const int extent = across ? area.W : area.H;
  const int laid = std::min(frameExtent / stepLength * stepLength, extent);
  const int travelled = frameExtent - laid;
  const int width = std::min(stepLength, extent - laid);
  // Positions along the motion axis, measured from the anchor edge.
  const int place = laid;
  const int start = extent - width;
  const int at = start - MulDiv(start - place, travelled, stepLength);
  auto span = [&](int from, int length) {
    TRect r = area;
    const int pos = fromFar ? extent - from - length : from;
    if (across) {
      r.X = area.X + pos;
      r.W = length;
    } else {
      r.Y = area.Y + pos;
      r.H = length;
    }
    return r;
  };
  std::vector<TPiece> pieces;
  AddPiece(pieces, {span(0, laid), span(0, laid)});
  if (width > 0) AddPiece(pieces, {span(at, width), span(place, width)});
  return pieces;
}

}  // namespace

TFrameSize FrameSizeOf(int width, int height, int progress, int step) {
  TFrameSize f;
  progress = std::clamp(progress, 0, 100);
  if (width <= 0 || height <= 0) return f;
  if (width < height) {
    f.Height = MulDiv(height, progress, 100);
    f.Width = MulDiv(f.Height, width, height);
    f.StepLength = MulDiv(height, step, 90);
    f.Fraction = static_cast<double>(f.Height) / height;
  } else {
    f.Width = MulDiv(width, progress, 100);
    f.Height = MulDiv(f.Width, height, width);
    f.StepLength = MulDiv(width, step, 90);
    f.Fraction = static_cast<double>(f.Width) / width;
  }
  f.StepLength = std::max(1, f.StepLength);
  return f;
}

std::vector<TPiece> BlockPieces(const TStyleGeometry& style, int width, int height, const TFrameSize& frame) {
  std::vector<TPiece> pieces;
  if (style.Anchor == TAnchor::Outside) {
    // All but a centred rectangle that shrinks to nothing.
    const int iw = width - frame.Width, ih = height - frame.Height;
    const int ix = (width - iw) / 2, iy = (height - ih) / 2;
    const TRect parts[] = {{0, 0, width, iy},
                           {0, iy + ih, width, height - iy - ih},
                           {0, iy, ix, ih},
                           {ix + iw, iy, width - ix - iw, ih}};
    for (const TRect& part : parts) AddPiece(pieces, {part, part});
    return pieces;
  }
  for (const TRegion& region : RegionsOf(style, width, height, frame)) {
    const TRect f = Place(region.Area, region.Anchor, region.FrameW, region.FrameH);
    switch (style.Kind) {
      case TStyleKind::Reveal:
        AddPiece(pieces, {f, f});
        break;
      case TStyleKind::Slide:
        AddPiece(pieces, {f, Place(region.Area, Opposite(region.Anchor), f.W, f.H)});
        break;
      case TStyleKind::Expand:
        AddPiece(pieces, {f, region.Area});
        break;
      case TStyleKind::ExpandIn:
        AddPiece(pieces,
                 {PlaceAtEdgeMiddle(region.Area, region.Anchor, region.FrameW, region.FrameH), region.Area});
        break;
      case TStyleKind::Zoom:
        AddPiece(pieces, {region.Area, f});
        break;
      case TStyleKind::Unroll:
        AddPiece(pieces, {f, f});
        AddPiece(pieces, RollOf(region.Area, region.Anchor, f, frame.StepLength));
        break;
      case TStyleKind::BuildUp: {
        const int grown = IsHorizontalEdge(region.Anchor) ? region.FrameW : region.FrameH;
        for (const TPiece& piece : BuildUpPieces(region.Area, region.Anchor, grown, frame.StepLength)) {
          pieces.push_back(piece);
        }
        break;
      }
      default:
        break;
    }
  }
  return pieces;
}

double StyleHash(int style, uint64_t index) {
  // splitmix64 of a fixed seed, the style and the index.
  uint64_t z = 0x5DEECE66D1234567ull ^ (static_cast<uint64_t>(style) << 48) ^ index;
  z += 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return static_cast<double>(z >> 11) * 0x1.0p-53;
}

namespace {

// How far a band's start lags behind the frame: its lag r in [0, 1] (0 = first) and the spread s of all
// lags; a band covers T (1 + s) - s M r of its M, so every band is empty at T = 0 and full at T = M.
double SpreadOf(TBandOrder order) {
  switch (order) {
    case TBandOrder::Together:
      return 0;
    case TBandOrder::Forward:
    case TBandOrder::Backward:
      return 0.6;
    case TBandOrder::Random:
      return 0.4;
    case TBandOrder::EvenFirst:
      return 1;
    case TBandOrder::Curve:
    case TBandOrder::Teeth:
      return 0.3;
  }
  return 0;
}

constexpr double Pi = std::numbers::pi;

void MergeSpans(std::vector<TSpan>& spans) {
  const auto byStart = [](const TSpan& a, const TSpan& b) { return a.X0 < b.X0; };
  if (!std::is_sorted(spans.begin(), spans.end(), byStart)) std::sort(spans.begin(), spans.end(), byStart);
  size_t out = 0;
  for (const TSpan& span : spans) {
    if (span.X1 <= span.X0) continue;
    if (out > 0 && span.X0 <= spans[out - 1].X1) {
      spans[out - 1].X1 = std::max(spans[out - 1].X1, span.X1);
    } else {
      spans[out++] = span;
    }
  }
  spans.resize(out);
}

// Pixels whose centres x + 0.5 lie in [from, to).
TSpan CentresIn(double from, double to, int width) {
  const int x0 = std::clamp(static_cast<int>(std::ceil(from - 0.5)), 0, width);
  const int x1 = std::clamp(static_cast<int>(std::ceil(to - 0.5)), 0, width);
  return {x0, x1};
}

}  // namespace

TShapeCover::TShapeCover(int style, int width, int height, const TFrameSize& frame)
    : Style(style), Geometry(TransitionStyle(style)), Width(width), Height(height), Frame(frame) {
  switch (Geometry.Kind) {
    case TStyleKind::Bands:
      for (int i = 0; i < 2; ++i) {
        if (Geometry.Bands[i].Axis != TBandAxis::None) BuildBands(Geometry.Bands[i], i);
      }
      break;
    case TStyleKind::Sweep:
    case TStyleKind::Starburst:
      BuildSectors();
      break;
    case TStyleKind::Speckle:
    case TStyleKind::Squares:
      BuildCells();
      break;
    default:
      break;
  }
}

void TShapeCover::BuildBands(const TBandFamily& family, int index) {
  TBandState bands;
  bands.Family = family;
  const bool rows = family.Axis == TBandAxis::Rows;
  const int lines = rows ? Height : Width;
  bands.Extent = rows ? Width : Height;
  const int grown = rows ? Frame.Width : Frame.Height;
  switch (family.Width) {
    case TBandWidth::Bar:
      bands.Count = std::min(12, lines);
      break;
    case TBandWidth::Shred:
      bands.Count = std::max(1, lines / 8);
      break;
    case TBandWidth::Line:
      bands.Count = lines;
      break;
  }
  const int n = bands.Count;
  bands.BandOfLine.resize(static_cast<size_t>(lines));
  for (int i = 0; i <= n; ++i) bands.BandStart.push_back(MulDiv(i, lines, n));
  for (int i = 0; i < n; ++i) {
    for (int line = bands.BandStart[i]; line < bands.BandStart[i + 1]; ++line) bands.BandOfLine[line] = i;
  }
  const double spread = SpreadOf(family.Order);
  const int toothLines = std::max(4, n / 10);
  for (int i = 0; i < n; ++i) {
    double lag = 0;
    switch (family.Order) {
      case TBandOrder::Together:
        break;
      case TBandOrder::Forward:
      case TBandOrder::Backward: {
        // Staggered from the first (or last) band; the odd bands, which come from the other side in
        // the bounce styles, a little behind their neighbours.
        const int rank = family.Order == TBandOrder::Forward ? i : n - 1 - i;
        lag = n > 1 ? (2.0 * rank / (n - 1) + i % 2) / 3 : 0;
        break;
      }
      case TBandOrder::Random:
        lag = StyleHash(Style, static_cast<uint64_t>(index) << 32 | i);
        break;
      case TBandOrder::EvenFirst:
        lag = i % 2;
        break;
      case TBandOrder::Curve: {
        const double d = (2.0 * i + 1 - n) / n;
        lag = d * d;
        break;
      }
      case TBandOrder::Teeth: {
        const double phase = (i % toothLines + 0.5) / toothLines;
        const double height = 0.4 + 0.6 * StyleHash(Style, static_cast<uint64_t>(i / toothLines));
        lag = std::abs(2 * phase - 1) * height;
        break;
      }
    }
    const double length = std::floor(grown * (1 + spread) - spread * bands.Extent * lag);
    const int l = static_cast<int>(std::clamp(length, 0.0, static_cast<double>(bands.Extent)));
    const int m = bands.Extent;
    TSpan parts[2] = {{0, 0}, {0, 0}};
    switch (i % 2 == 0 ? family.Even : family.Odd) {
      case TBandSide::Start:
        parts[0] = {0, l};
        break;
      case TBandSide::End:
        parts[0] = {m - l, m};
        break;
      case TBandSide::Out:
        parts[0] = {(m - l) / 2, (m - l) / 2 + l};
        break;
      case TBandSide::In:
        parts[0] = {0, l / 2};
        parts[1] = {m - (l - l / 2), m};
        break;
    }
    bands.Covered.insert(bands.Covered.end(), parts, parts + 2);
  }
  Bands.push_back(std::move(bands));
}

void TShapeCover::BandSpans(const TBandState& bands, int y, std::vector<TSpan>& spans) const {
  if (bands.Family.Axis == TBandAxis::Rows) {
    const auto band = static_cast<size_t>(bands.BandOfLine[y]);
    for (size_t part = 2 * band; part < 2 * band + 2; ++part) spans.push_back(bands.Covered[part]);
    return;
  }
  for (int band = 0; band < bands.Count; ++band) {
    const TSpan* parts = &bands.Covered[2 * static_cast<size_t>(band)];
    if ((y < parts[0].X0 || y >= parts[0].X1) && (y < parts[1].X0 || y >= parts[1].X1)) continue;
    const int x0 = bands.BandStart[band], x1 = bands.BandStart[band + 1];
    if (!spans.empty() && spans.back().X1 == x0) {
      spans.back().X1 = x1;
    } else {
      spans.push_back({x0, x1});
    }
  }
}

void TShapeCover::FrontSpans(int y, std::vector<TSpan>& spans) const {
  const double t = Frame.Fraction;
  if (Geometry.Kind == TStyleKind::Circle) {
    const double cx = Width / 2.0, dy = y + 0.5 - Height / 2.0;
    const double reach = std::hypot(Width, Height) / 2;
    const double radius = (Geometry.Curved ? 1 - t : t) * reach;
    const double half = radius * radius - dy * dy;
    const TSpan inside =
        half > 0 ? CentresIn(cx - std::sqrt(half), cx + std::sqrt(half), Width) : TSpan{0, 0};
    if (!Geometry.Curved) {
      spans.push_back(inside);
    } else {
      spans.push_back({0, inside.X1 > inside.X0 ? inside.X0 : Width});
      if (inside.X1 > inside.X0) spans.push_back({inside.X1, Width});
    }
    return;
  }
  // Corner fronts: u and v run from the anchor corner to the far one, each 0 to 1; a pixel shows when
  // u^2 + v^2 < 2 t^2 (curved) or u + v < 2 t (diagonal).
  const bool fromRight = IsRightSide(Geometry.Anchor), fromBottom = IsBottomSide(Geometry.Anchor);
  const double v = (fromBottom ? Height - y - 0.5 : y + 0.5) / Height;
  const double reach = Geometry.Curved ? 2 * t * t - v * v : 2 * t - v;
  if (reach <= 0) return;
  const double u = Geometry.Curved ? std::sqrt(reach) : reach;
  const int count = CentresIn(0, u * Width, Width).X1;
  spans.push_back(fromRight ? TSpan{Width - count, Width} : TSpan{0, count});
}

void TShapeCover::BuildSectors() {
  const double t = Frame.Fraction;
  const TPoint centre{Width / 2.0, Height / 2.0};
  const double radius = std::hypot(Width, Height);  // twice the reach: chords of 45 degrees stay outside
  auto add = [&](double from, double to) {
    if (to <= from) return;
    std::vector<TPoint> polygon{centre};
    const int steps = static_cast<int>(std::ceil((to - from) / (Pi / 4)));
    for (int i = 0; i <= steps; ++i) {
      const double a = from + (to - from) * i / steps;
      polygon.push_back({centre.X + radius * std::cos(a), centre.Y + radius * std::sin(a)});
    }
    Sectors.push_back(std::move(polygon));
  };
  if (Geometry.Kind == TStyleKind::Sweep) {
    // Angles grow clockwise on the screen (y points down).
    const double start = std::atan2(-centre.Y, -centre.X), sweep = Pi * t;
    for (double base : {start, start + Pi}) {
      if (Geometry.Turn == TTurn::Clockwise) {
        add(base, base + sweep);
      } else {
        add(base - sweep, base);
      }
    }
    return;
  }
  constexpr int Rays = 16;
  for (int k = 0; k < Rays; ++k) {
    const double from = -Pi / 2 + 2 * Pi * k / Rays;
    add(from, from + 2 * Pi / Rays * t);
  }
}

void TShapeCover::SectorSpans(int y, std::vector<TSpan>& spans) const {
  const double line = y + 0.5;
  for (const std::vector<TPoint>& polygon : Sectors) {
    double lo = INFINITY, hi = -INFINITY;
    for (size_t i = 0; i < polygon.size(); ++i) {
      const TPoint& a = polygon[i];
      const TPoint& b = polygon[(i + 1) % polygon.size()];
      if ((line < a.Y) == (line < b.Y)) continue;  // the edge does not cross this row
      const double x = a.X + (line - a.Y) * (b.X - a.X) / (b.Y - a.Y);
      lo = std::min(lo, x);
      hi = std::max(hi, x);
    }
    if (lo < hi) spans.push_back(CentresIn(lo, hi, Width));
  }
}

void TShapeCover::BuildCells() {
  const bool speckle = Geometry.Kind == TStyleKind::Speckle;
  const int major = std::max(Width, Height);
  CellSize = speckle ? std::max(2, major / 240) : std::max(4, major / 16);
  CellsAcross = (Width + CellSize - 1) / CellSize;
  const int cellsDown = (Height + CellSize - 1) / CellSize;
  CellShown.assign(static_cast<size_t>(CellsAcross) * cellsDown, 0);
  const double t = Frame.Fraction;
  for (int j = 0; j < cellsDown; ++j) {
    for (int i = 0; i < CellsAcross; ++i) {
      const auto cell = static_cast<size_t>(j) * CellsAcross + i;
      const double chance = StyleHash(Style, cell);
      bool shown = chance < t;
      if (speckle) {
        // Nearer the anchor edge a cell shows earlier; the last ones show as the frame is complete.
        double distance = 0;
        switch (Geometry.Anchor) {
          case TAnchor::Right:
            distance = static_cast<double>(CellsAcross - 1 - i) / CellsAcross;
            break;
          case TAnchor::Left:
            distance = static_cast<double>(i) / CellsAcross;
            break;
          case TAnchor::Bottom:
            distance = static_cast<double>(cellsDown - 1 - j) / cellsDown;
            break;
          default:
            distance = static_cast<double>(j) / cellsDown;
            break;
        }
        shown = distance + chance < 2 * t;
      }
      CellShown[cell] = shown;
    }
  }
}

void TShapeCover::CellSpans(int y, std::vector<TSpan>& spans) const {
  const uint8_t* row = CellShown.data() + static_cast<size_t>(y / CellSize) * CellsAcross;
  for (int i = 0; i < CellsAcross; ++i) {
    if (!row[i]) continue;
    int j = i + 1;
    while (j < CellsAcross && row[j]) ++j;
    spans.push_back({i * CellSize, std::min(Width, j * CellSize)});
    i = j;
  }
}

void TShapeCover::RowSpans(int y, std::vector<TSpan>& spans) const {
  spans.clear();
  if (y < 0 || y >= Height) return;
  switch (Geometry.Kind) {
    case TStyleKind::Bands:
      for (const TBandState& bands : Bands) BandSpans(bands, y, spans);
      break;
    case TStyleKind::Corner:
    case TStyleKind::Circle:
      FrontSpans(y, spans);
      break;
    case TStyleKind::Sweep:
    case TStyleKind::Starburst:
      SectorSpans(y, spans);
      break;
    case TStyleKind::Speckle:
    case TStyleKind::Squares:
      CellSpans(y, spans);
      break;
    default:
      break;
  }
  MergeSpans(spans);
}

}  // namespace tambrel
