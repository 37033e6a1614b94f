#include "slides/test_pictures.h"

#include <QFont>
#include <QPainter>

namespace tambrel {

namespace {

void DrawLetter(QPainter& painter, QSize size, const QString& letter, QColor colour) {
  QFont font = painter.font();
  font.setPixelSize(std::max(8, std::min(size.width(), size.height()) * 2 / 5));
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(colour);
  painter.drawText(QRect(size.width() / 20, 0, size.width() / 2, size.height() / 2),
                   Qt::AlignLeft | Qt::AlignTop, letter);
}

}  // namespace

QImage OldTestPicture(QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(QColor(30, 50, 140));
  QPainter painter(&image);
  painter.setPen(QPen(QColor(120, 150, 230), std::max(1, size.width() / 160)));
  for (int i = 1; i < 8; ++i) {
    painter.drawLine(size.width() * i / 8, 0, size.width() * i / 8, size.height());
    painter.drawLine(0, size.height() * i / 8, size.width(), size.height() * i / 8);
  }
  painter.fillRect(QRect(size.width() * 3 / 4, size.height() * 3 / 4, size.width() / 5, size.height() / 5),
                   QColor(200, 30, 30));
  DrawLetter(painter, size, "A", Qt::white);
  return image;
}

QImage NewTestPicture(QSize size) {
  QImage image(size, QImage::Format_RGB32);
  QPainter painter(&image);
  QLinearGradient gradient(0, 0, size.width(), size.height());
  gradient.setColorAt(0, QColor(250, 170, 40));
  gradient.setColorAt(1, QColor(190, 60, 20));
  painter.fillRect(image.rect(), gradient);
  painter.setPen(QPen(QColor(255, 230, 150), std::max(1, size.width() / 100)));
  for (int i = -size.height(); i < size.width(); i += std::max(4, size.width() / 10)) {
    painter.drawLine(i, size.height(), i + size.height() / 2, 0);
  }
  painter.setBrush(QColor(30, 140, 60));
  painter.setPen(Qt::NoPen);
  const int disc = std::min(size.width(), size.height()) / 4;
  painter.drawEllipse(QRect(size.width() * 7 / 10, size.height() * 6 / 10, disc, disc));
  DrawLetter(painter, size, "B", QColor(20, 20, 60));
  return image;
}

}  // namespace tambrel
