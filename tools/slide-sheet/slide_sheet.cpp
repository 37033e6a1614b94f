// slide-sheet: every transition style at 25, 50 and 75 percent between two test pictures, forward and
// with Reverse, landscape and portrait, on one labelled PNG.
//
//   slide-sheet OUTPUT.png [landscape|portrait] [forward|reverse] [FIRST-LAST]
//
// Without the choices the sheet holds all four sections, one under the other, of all 128 styles.

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "slides/frame_renderer.h"
#include "slides/test_pictures.h"
#include "slides/transition_styles.h"

namespace {

using namespace tambrel;

constexpr int Progresses[] = {25, 50, 75};
constexpr int Gap = 4, LabelHeight = 14, SheetWidth = 1650, TitleHeight = 28;

struct TSection {
  bool Portrait;
  bool Reverse;
};

int FirstStyle = 0, LastStyle = TransitionStyleCount - 1;

int StylesShown() {
  return LastStyle - FirstStyle + 1;
}

QSize TileSize(bool portrait) {
  return portrait ? QSize(80, 128) : QSize(128, 80);
}

QSize GroupSize(bool portrait) {
  const QSize tile = TileSize(portrait);
  return {3 * tile.width() + 2 * Gap + 4 * Gap, tile.height() + LabelHeight + 2 * Gap};
}

int SectionHeight(bool portrait) {
  const QSize group = GroupSize(portrait);
  const int perRow = SheetWidth / group.width();
  return TitleHeight + (StylesShown() + perRow - 1) / perRow * group.height();
}

void DrawSection(QPainter& painter, int top, const TSection& section) {
  const QSize tile = TileSize(section.Portrait), group = GroupSize(section.Portrait);
  const QImage oldPicture = OldTestPicture(tile), newPicture = NewTestPicture(tile);
  const int perRow = SheetWidth / group.width();
  QFont font = painter.font();
  font.setPixelSize(16);
  painter.setFont(font);
  painter.drawText(
      QRect(Gap, top, SheetWidth, TitleHeight), Qt::AlignVCenter,
      QString("%1, %2: each style at 25, 50 and 75 percent")
          .arg(section.Portrait ? "portrait" : "landscape", section.Reverse ? "Reverse" : "forward"));
  font.setPixelSize(10);
  painter.setFont(font);
  for (int style = FirstStyle; style <= LastStyle; ++style) {
    const int place = style - FirstStyle;
    const int x = place % perRow * group.width() + Gap;
    const int y = top + TitleHeight + place / perRow * group.height();
    for (int i = 0; i < 3; ++i) {
      // With Reverse the progress runs down: the same moment of the transition is 100 - p.
      const int progress = section.Reverse ? 100 - Progresses[i] : Progresses[i];
      const QImage frame =
          RenderTransitionFrame(oldPicture, newPicture, style, progress, 10, section.Reverse);
      painter.drawImage(x + i * (tile.width() + Gap), y, frame);
    }
    const QString label =
        QString("%1 %2").arg(style, 2, 10, QChar('0')).arg(TransitionStyleName(style).c_str());
    painter.drawText(QRect(x, y + tile.height(), group.width() - 2 * Gap, LabelHeight),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(label, Qt::ElideRight, group.width() - 2 * Gap));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: slide-sheet OUTPUT.png [landscape|portrait] [forward|reverse] [FIRST-LAST]\n");
    return 2;
  }
  if (argc > 4 && std::sscanf(argv[4], "%d-%d", &FirstStyle, &LastStyle) != 2) return 2;
  FirstStyle = std::clamp(FirstStyle, 0, TransitionStyleCount - 1);
  LastStyle = std::clamp(LastStyle, FirstStyle, TransitionStyleCount - 1);
  std::vector<TSection> sections;
  const QString orientation = argc > 2 ? argv[2] : "", direction = argc > 3 ? argv[3] : "";
  for (bool portrait : {false, true}) {
    for (bool reverse : {false, true}) {
      if (!orientation.isEmpty() && (orientation == "portrait") != portrait) continue;
      if (!direction.isEmpty() && (direction == "reverse") != reverse) continue;
      sections.push_back({portrait, reverse});
    }
  }
  int height = 0;
  for (const TSection& section : sections) height += SectionHeight(section.Portrait);
  QImage sheet(SheetWidth, height, QImage::Format_RGB32);
  sheet.fill(Qt::white);
  QPainter painter(&sheet);
  int top = 0;
  for (const TSection& section : sections) {
    DrawSection(painter, top, section);
    top += SectionHeight(section.Portrait);
  }
  painter.end();
  if (!sheet.save(argv[1])) {
    std::fprintf(stderr, "slide-sheet: cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("%s: %d styles, %zu sections, %dx%d\n", argv[1], StylesShown(), sections.size(), sheet.width(),
              sheet.height());
  return 0;
}
