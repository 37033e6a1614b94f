#include "slides/frame_renderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "slides/transition_geometry.h"
#include "slides/transition_styles.h"

namespace tambrel {

namespace {

using Pixel = uint32_t;

const Pixel* Row(const QImage& image, int y) {
  return reinterpret_cast<const Pixel*>(image.constScanLine(y));
}
Pixel* Row(QImage& image, int y) {
  return reinterpret_cast<Pixel*>(image.scanLine(y));
}

void CopyWhole(QImage& frame, const QImage& from) {
  const size_t bytes = static_cast<size_t>(from.width()) * sizeof(Pixel);
  for (int y = 0; y < from.height(); ++y) std::memcpy(Row(frame, y), Row(from, y), bytes);
}

// Nearest-pixel sampling of length source pixels onto count target pixels, centre to centre.
std::vector<int> SampleMap(int sourceStart, int sourceLength, int count, bool mirror) {
  std::vector<int> map(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const int k = mirror ? count - 1 - i : i;
    map[static_cast<size_t>(i)] = sourceStart + static_cast<int>((2 * static_cast<int64_t>(k) + 1) *
                                                                 sourceLength / (2 * int64_t{count}));
  }
  return map;
}

void DrawPiece(QImage& frame, const QImage& over, const TPiece& piece) {
  const TRect& t = piece.Target;
  const TRect& s = piece.Source;
  const std::vector<int> columns = SampleMap(s.X, s.W, t.W, piece.MirrorX);
  const std::vector<int> rows = SampleMap(s.Y, s.H, t.H, piece.MirrorY);
  const bool sameWidth = s.W == t.W && !piece.MirrorX;
  for (int i = 0; i < t.H; ++i) {
    Pixel* to = Row(frame, t.Y + i) + t.X;
    const Pixel* from = Row(over, rows[static_cast<size_t>(i)]);
    if (sameWidth) {
      std::memcpy(to, from + s.X, static_cast<size_t>(t.W) * sizeof(Pixel));
    } else {
      for (int x = 0; x < t.W; ++x) to[x] = from[columns[static_cast<size_t>(x)]];
    }
  }
}

void DrawShape(QImage& frame, const QImage& over, int style, const TFrameSize& size) {
  const TShapeCover cover(style, frame.width(), frame.height(), size);
  std::vector<TSpan> spans;
  for (int y = 0; y < frame.height(); ++y) {
    cover.RowSpans(y, spans);
    Pixel* to = Row(frame, y);
    const Pixel* from = Row(over, y);
    for (const TSpan& span : spans) {
      std::memcpy(to + span.X0, from + span.X0, static_cast<size_t>(span.X1 - span.X0) * sizeof(Pixel));
    }
  }
}

// Each channel (base (100 - p) + over p + 50) / 100.
void DrawFade(QImage& frame, const QImage& over, int progress) {
  const auto p = static_cast<uint32_t>(progress), q = 100 - p;
  for (int y = 0; y < frame.height(); ++y) {
    Pixel* to = Row(frame, y);
    const Pixel* from = Row(over, y);
    for (int x = 0; x < frame.width(); ++x) {
      const Pixel a = to[x], b = from[x];
      const uint32_t r = (((a >> 16) & 0xFF) * q + ((b >> 16) & 0xFF) * p + 50) / 100;
      const uint32_t g = (((a >> 8) & 0xFF) * q + ((b >> 8) & 0xFF) * p + 50) / 100;
      const uint32_t c = ((a & 0xFF) * q + (b & 0xFF) * p + 50) / 100;
      to[x] = 0xFF000000u | r << 16 | g << 8 | c;
    }
  }
}

// The new picture turned about the anchor corner by (100 - p) pi / 200, swinging in from outside the
// frame. Each frame pixel takes the picture pixel that the inverse turn maps its centre into.
void DrawPivot(QImage& frame, const QImage& over, TAnchor anchor, int progress) {
  const int w = frame.width(), h = frame.height();
  const bool right = anchor == TAnchor::TopRight || anchor == TAnchor::BottomRight;
  const bool bottom = anchor == TAnchor::BottomLeft || anchor == TAnchor::BottomRight;
  const double px = right ? w : 0, py = bottom ? h : 0;
  const double angle = (100 - progress) * std::numbers::pi / 200;
  // The turn that moves the picture off the frame at 90 degrees: clockwise (positive on a screen whose
  // y points down) for the left bottom and right top corners.
  const double theta = right != bottom ? angle : -angle;
  const double c = std::cos(theta), s = std::sin(theta);
  const uchar* bits = over.constBits();
  const qsizetype stride = over.bytesPerLine();
  for (int y = 0; y < h; ++y) {
    Pixel* to = Row(frame, y);
    const double dy = y + 0.5 - py, dx = 0.5 - px;
    // The source position moves by (c, -s) from one pixel of the row to the next.
    double sx = px + c * dx + s * dy, sy = py - s * dx + c * dy;
    for (int x = 0; x < w; ++x, sx += c, sy -= s) {
      if (sx < 0 || sy < 0 || sx >= w || sy >= h) continue;
      to[x] =
          reinterpret_cast<const Pixel*>(bits + static_cast<qsizetype>(sy) * stride)[static_cast<int>(sx)];
    }
  }
}

}  // namespace

void RenderTransitionFrameInto(QImage& frame, const QImage& oldImage, const QImage& newImage, int style,
                               int progress, int step, bool reverse) {
  const QImage& base = reverse ? newImage : oldImage;
  const QImage& over = reverse ? oldImage : newImage;
  if (frame.size() != base.size() || frame.format() != QImage::Format_RGB32) {
    frame = QImage(base.size(), QImage::Format_RGB32);
  }
  if (base.isNull() || over.size() != base.size()) return;
  progress = std::clamp(progress, 0, 100);
  style = std::clamp(style, 0, TransitionStyleCount - 1);
  if (progress == 0) return CopyWhole(frame, base);
  if (progress == 100 || style == StyleSwap) return CopyWhole(frame, over);
  CopyWhole(frame, base);
  const TStyleGeometry& geometry = TransitionStyle(style);
  const TFrameSize size = FrameSizeOf(frame.width(), frame.height(), progress, step);
  switch (geometry.Kind) {
    case TStyleKind::Fade:
      return DrawFade(frame, over, progress);
    case TStyleKind::Pivot:
      return DrawPivot(frame, over, geometry.Anchor, progress);
    case TStyleKind::Reveal:
    case TStyleKind::Slide:
    case TStyleKind::Expand:
    case TStyleKind::ExpandIn:
    case TStyleKind::Zoom:
    case TStyleKind::Unroll:
    case TStyleKind::BuildUp:
      for (const TPiece& piece : BlockPieces(geometry, frame.width(), frame.height(), size)) {
        DrawPiece(frame, over, piece);
      }
      return;
    default:
      return DrawShape(frame, over, style, size);
  }
}

QImage RenderTransitionFrame(const QImage& oldImage, const QImage& newImage, int style, int progress,
                             int step, bool reverse) {
  QImage frame;
  RenderTransitionFrameInto(frame, oldImage, newImage, style, progress, step, reverse);
  return frame;
}

}  // namespace tambrel
