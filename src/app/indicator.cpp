#include "app/indicator.h"

#include <QPainter>
#include <QRadialGradient>

namespace tambrel {

TIndicator::TIndicator(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  setFixedSize(sizeHint());
}

void TIndicator::SetActive(bool active) {
  if (active == IsActive) return;
  IsActive = active;
  update();
}

void TIndicator::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF lamp = QRectF(rect()).adjusted(1, 1, -1, -1);
  // Lit: a bright green with a highlight; dark: the same lamp switched off.
  QRadialGradient glass(lamp.center() - QPointF(lamp.width() / 5, lamp.height() / 5), lamp.width() / 1.6);
  glass.setColorAt(0, IsActive ? QColor(200, 255, 200) : QColor(40, 90, 40));
  glass.setColorAt(1, IsActive ? QColor(0, 210, 0) : QColor(0, 45, 0));
  painter.setPen(QPen(QColor(20, 20, 20), 1));
  painter.setBrush(glass);
  painter.drawEllipse(lamp);
}

}  // namespace tambrel
