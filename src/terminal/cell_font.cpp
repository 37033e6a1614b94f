#include "terminal/cell_font.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

namespace tambrel {

QFont DefaultTerminalFont() {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPointSize(8);
  return font;
}

TCellFont MeasureCellFont(QFont font) {
  font.setFixedPitch(true);
  font.setStyleHint(QFont::TypeWriter);
  font.setLetterSpacing(QFont::AbsoluteSpacing, 0);
  const qreal advance = QFontMetricsF(font).horizontalAdvance(QLatin1Char('0'));
  TCellFont cell;
  // A hair below the next pixel still counts as that pixel, so rounding noise does not add a column.
  cell.CharWidth = std::max(1, static_cast<int>(std::ceil(advance - 0.01)));
  font.setLetterSpacing(QFont::AbsoluteSpacing, cell.CharWidth - advance);
  const QFontMetrics metrics(font);
  cell.LineHeight = std::max(1, metrics.height());
  cell.Ascent = metrics.ascent();
  cell.Font = font;
  return cell;
}

}  // namespace tambrel
