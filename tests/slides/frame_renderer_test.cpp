#include "slides/frame_renderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>

#include "slides/transition_styles.h"

namespace tambrel {
namespace {

// Each pixel encodes its picture (bit 23: new) and its position (x in bits 0-10, y in bits 11-21).
QImage Coded(QSize size, bool isNew) {
  QImage image(size, QImage::Format_RGB32);
  for (int y = 0; y < size.height(); ++y) {
    auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
    for (int x = 0; x < size.width(); ++x) row[x] = 0xFF000000u | uint32_t{isNew} << 23 | y << 11 | x;
  }
  return image;
}

struct TDecoded {
  bool New;
  int X, Y;
};
TDecoded Decode(uint32_t pixel) {
  return {(pixel >> 23 & 1) != 0, static_cast<int>(pixel & 0x7FF), static_cast<int>(pixel >> 11 & 0x7FF)};
}

enum class TAllowed { SamePlace, SameRow, SameColumn, Anywhere };

// Where a pixel of the drawn-over picture may come from, by the style's kind.
TAllowed AllowedFor(const TStyleGeometry& style) {
  const bool across = style.Anchor == TAnchor::Left || style.Anchor == TAnchor::Right;
  const bool down = style.Anchor == TAnchor::Top || style.Anchor == TAnchor::Bottom ||
                    (style.Kind == TStyleKind::Slide && style.Split == TSplit::TopBottom);
  switch (style.Kind) {
    case TStyleKind::Slide:
    case TStyleKind::Unroll:
    case TStyleKind::BuildUp:
      return across ? TAllowed::SameRow : down ? TAllowed::SameColumn : TAllowed::Anywhere;
    case TStyleKind::Swap:
    case TStyleKind::Expand:
    case TStyleKind::ExpandIn:
    case TStyleKind::Zoom:
    case TStyleKind::Pivot:
      return TAllowed::Anywhere;
    default:
      return TAllowed::SamePlace;
  }
}

const QSize Shapes[] = {QSize(96, 64), QSize(64, 96)};

// Checks every pixel of one frame; returns how many come from the drawn-over picture.
int CheckFrame(const QImage& frame, const TStyleGeometry& style, bool reverse, const std::string& where) {
  const TAllowed allowed = AllowedFor(style);
  int over = 0;
  for (int y = 0; y < frame.height(); ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(frame.constScanLine(y));
    for (int x = 0; x < frame.width(); ++x) {
      const TDecoded d = Decode(row[x]);
      if (d.New == reverse) {  // the picture underneath never moves
        if (d.X != x || d.Y != y) {
          ADD_FAILURE() << where << ": base pixel moved at " << x << "," << y;
          return over;
        }
        continue;
      }
      ++over;
      const bool ok = allowed == TAllowed::Anywhere || (allowed == TAllowed::SameRow && d.Y == y) ||
                      (allowed == TAllowed::SameColumn && d.X == x) || (d.X == x && d.Y == y);
      if (!ok) {
        ADD_FAILURE() << where << ": pixel at " << x << "," << y << " from " << d.X << "," << d.Y;
        return over;
      }
    }
  }
  return over;
}

std::string Where(int style, int p, bool reverse, QSize size) {
  return "style " + std::to_string(style) + " (" + TransitionStyleName(style) + ") at " + std::to_string(p) +
         (reverse ? " reverse " : " ") + std::to_string(size.width()) + "x" + std::to_string(size.height());
}

// Forward the new picture is drawn over the old; with Reverse the old over the new, and the transition
// runs from 100 down to 0. Either way the drawn-over area is empty at 0, complete at 100, and grows
// with p; a frame is drawn the same way every time.
TEST(FrameRenderer, EveryStyleRunsFromOldToNewOverAllowedPixelsAndNeverShrinks) {
  for (const QSize size : Shapes) {
    const QImage oldImage = Coded(size, false), newImage = Coded(size, true);
    const int all = size.width() * size.height();
    for (bool reverse : {false, true}) {
      for (int style = 0; style < TransitionStyleCount; ++style) {
        EXPECT_EQ(RenderTransitionFrame(oldImage, newImage, style, 45, 7, reverse),
                  RenderTransitionFrame(oldImage, newImage, style, 45, 7, reverse))
            << Where(style, 45, reverse, size);
        if (style == StyleFade) continue;
        int previous = 0;
        for (int p = 0; p <= 100; p += 5) {
          const std::string where = Where(style, p, reverse, size);
          const QImage frame = RenderTransitionFrame(oldImage, newImage, style, p, 10, reverse);
          ASSERT_EQ(frame.size(), size) << where;
          const int over = CheckFrame(frame, TransitionStyle(style), reverse, where);
          if (p == 0 || p == 100) {
            EXPECT_EQ(over, p == 0 ? 0 : all) << where;
          }
          EXPECT_GE(over, previous) << where << ": the drawn-over area shrank";
          previous = over;
        }
      }
    }
  }
}

// The side a name says the new picture comes from: "... from right", "... from bottom left".
struct TSides {
  int X = 0, Y = 0;  // -1 left or top, +1 right or bottom, 0 either
};
std::optional<TSides> SidesOfName(const std::string& name) {
  const std::pair<const char*, TSides> endings[] = {
      {"from left", {-1, 0}},        {"from right", {1, 0}},       {"from top", {0, -1}},
      {"from bottom", {0, 1}},       {"from top left", {-1, -1}},  {"from top right", {1, -1}},
      {"from bottom left", {-1, 1}}, {"from bottom right", {1, 1}}};
  for (const auto& [ending, sides] : endings) {
    const std::string tail = std::string(" ") + ending;
    if (name.size() > tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0)
      return sides;
  }
  return std::nullopt;
}

TEST(FrameRenderer, AtThirtyPercentTheNewAreaLiesOnTheSideTheNameGives) {
  int checked = 0;
  for (const QSize size : Shapes) {
    const QImage oldImage = Coded(size, false), newImage = Coded(size, true);
    for (int style = 0; style < TransitionStyleCount; ++style) {
      // A pivot's name gives the corner it turns about (checked by the pivot test), not a side.
      const std::optional<TSides> sides = SidesOfName(TransitionStyleName(style));
      if (!sides || TransitionStyle(style).Kind == TStyleKind::Pivot) continue;
      const QImage frame = RenderTransitionFrame(oldImage, newImage, style, 30, 10, false);
      double sumX = 0, sumY = 0;
      int count = 0;
      for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
          if (!Decode(frame.pixel(x, y)).New) continue;
          sumX += x + 0.5 - size.width() / 2.0;
          sumY += y + 0.5 - size.height() / 2.0;
          ++count;
        }
      }
      const std::string where = Where(style, 30, false, size);
      ASSERT_GT(count, 0) << where;
      // Towards the named side, and only when the name gives one.
      EXPECT_EQ(sides->X * sumX > 0, sides->X != 0) << where;
      EXPECT_EQ(sides->Y * sumY > 0, sides->Y != 0) << where;
      ++checked;
    }
  }
  EXPECT_GT(checked, 100);  // most styles name their side
}

TEST(FrameRenderer, FadeBlendsEachChannelExactly) {
  const QSize size(90, 70);
  const QImage oldImage = Coded(size, false), newImage = Coded(size, true);
  for (bool reverse : {false, true}) {
    for (int p : {1, 37, 99}) {
      const QImage frame = RenderTransitionFrame(oldImage, newImage, StyleFade, p, 1, reverse);
      const int overWeight = p, baseWeight = 100 - p;
      const QImage& base = reverse ? newImage : oldImage;
      const QImage& over = reverse ? oldImage : newImage;
      for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
          const QRgb a = base.pixel(x, y), b = over.pixel(x, y), f = frame.pixel(x, y);
          auto blend = [&](int from, int to) { return (from * baseWeight + to * overWeight + 50) / 100; };
          const QRgb blended =
              qRgb(blend(qRed(a), qRed(b)), blend(qGreen(a), qGreen(b)), blend(qBlue(a), qBlue(b)));
          ASSERT_EQ(f, blended) << x << "," << y << " at " << p;
        }
      }
    }
  }
}

// A pivot shows new pixels where the picture, turned about its corner by (100 - p) pi / 200, lies. The
// test finds the turn's sense from the frame and checks each pixel against the exact turn.
TEST(FrameRenderer, PivotsMatchTheTurnAboutTheirCorner) {
  const std::pair<int, QPointF> corners[] = {{119, {0, 0}}, {120, {0, 1}}, {121, {1, 0}}, {122, {1, 1}}};
  for (const QSize size : Shapes) {
    const QImage oldImage = Coded(size, false), newImage = Coded(size, true);
    for (const auto& [style, corner] : corners) {
      const double cx = corner.x() * size.width(), cy = corner.y() * size.height();
      for (int p : {10, 40, 80}) {
        const QImage frame = RenderTransitionFrame(oldImage, newImage, style, p, 1, false);
        const double angle = (100 - p) * std::numbers::pi / 200;
        int agree[2] = {0, 0}, newCount = 0;
        for (int y = 0; y < size.height(); ++y) {
          for (int x = 0; x < size.width(); ++x) {
            const TDecoded d = Decode(frame.pixel(x, y));
            if (!d.New) continue;
            ++newCount;
            for (int sense = 0; sense < 2; ++sense) {
              const double theta = sense == 0 ? angle : -angle;
              const double sx = d.X + 0.5 - cx, sy = d.Y + 0.5 - cy;
              const double tx = cx + sx * std::cos(theta) - sy * std::sin(theta);
              const double ty = cy + sx * std::sin(theta) + sy * std::cos(theta);
              if (std::hypot(tx - (x + 0.5), ty - (y + 0.5)) <= 1.0) ++agree[sense];
            }
          }
        }
        const std::string where = Where(style, p, false, size);
        ASSERT_GT(newCount, 0) << where;
        EXPECT_EQ(std::max(agree[0], agree[1]), newCount) << where;
      }
    }
  }
}

}  // namespace
}  // namespace tambrel
