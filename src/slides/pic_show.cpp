#include "slides/pic_show.h"

#include <QBrush>
#include <QMetaMethod>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>

#include "slides/frame_renderer.h"
#include "slides/transition_styles.h"

namespace tambrel {

TPicShow::TPicShow(QWidget* parent) : QWidget(parent) {
  resize(100, 100);
  setAttribute(Qt::WA_OpaquePaintEvent);
  FrameTimer.setSingleShot(true);
  FrameTimer.setTimerType(Qt::PreciseTimer);
  connect(&FrameTimer, &QTimer::timeout, this, &TPicShow::NextFrame);
}

TPicShow::~TPicShow() {
  Destroying = true;
  Stop();
}

void TPicShow::SetPicture(const QImage& picture) {
  NewPicture = picture;
  emit Changed();
}

void TPicShow::SetBgPicture(const QImage& picture) {
  BgImage = picture;
  Recompose();
}

void TPicShow::SetBgMode(TBgMode mode) {
  if (mode == Background) return;
  Background = mode;
  Recompose();
}

void TPicShow::SetColor(QColor color) {
  Color = color;
  Recompose();
}

void TPicShow::SetAutoSize(bool on) {
  AutoSizeOn = on;
  updateGeometry();
}

void TPicShow::SetCenter(bool on) {
  if (on == CenterOn) return;
  CenterOn = on;
  Recompose();
}

void TPicShow::SetStretch(bool on) {
  if (on == StretchOn) return;
  StretchOn = on;
  Recompose();
}

void TPicShow::SetStretchFine(bool on) {
  if (on == StretchFineOn) return;
  StretchFineOn = on;
  Recompose();
}

void TPicShow::SetStyle(int style) {
  StyleIndex = std::clamp(style, 0, TransitionStyleCount - 1);
}

QString TPicShow::StyleName() const {
  return QString::fromStdString(TransitionStyleName(StyleIndex));
}

void TPicShow::SetStyleName(const QString& name) {
  for (int style = 0; style < TransitionStyleCount; ++style) {
    if (QString::compare(name, QString::fromStdString(TransitionStyleName(style)), Qt::CaseInsensitive) ==
        0) {
      StyleIndex = style;
      return;
    }
  }
}

void TPicShow::SetStep(int step) {
  StepPercent = std::clamp(step, 1, 100);
}

void TPicShow::SetDelay(int milliseconds) {
  DelayMs = std::clamp(milliseconds, 0, 0xFFFF);
}

void TPicShow::SetReverse(bool on) {
  ReverseOn = on;
}

void TPicShow::SetManual(bool on) {
  if (on == ManualOn) return;
  ManualOn = on;
  if (!IsBusy) return;
  if (on) {
    FrameTimer.stop();
  } else {
    ScheduleFrame(0);  // the animation goes on from the current progress
  }
}

void TPicShow::SetProgress(int progress) {
  SetProgressValue(progress);
  // Outside a transition there are no images to draw with: the value waits for the next one.
  if (IsBusy && ManualOn) DrawFrame();
}

void TPicShow::SetProgressValue(int progress) {
  ProgressValue = std::clamp(progress, 0, 100);
  emit ProgressChanged(ProgressValue);
}

QRect TPicShow::TargetRect(QSize area, QSize picture, bool center, bool stretch, bool stretchFine) {
  const int64_t aw = area.width(), ah = area.height(), pw = picture.width(), ph = picture.height();
  int64_t w = pw, h = ph;
  if (stretch && !stretchFine) {
    w = aw;
    h = ah;
  } else if (stretch && pw > 0 && ph > 0) {
    // The largest size of the picture's aspect that fits.
    if (pw * ah <= ph * aw) {
      h = ah;
      w = pw * ah / ph;
    } else {
      w = aw;
      h = ph * aw / pw;
    }
  }
  const int64_t x = center ? (aw - w) / 2 : 0, y = center ? (ah - h) / 2 : 0;
  return QRect(static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h));
}

QImage TPicShow::Compose(QSize size) const {
  QImage image(size, QImage::Format_RGB32);
  if (image.isNull()) return image;
  image.fill(Color);
  QPainter painter(&image);
  if (!BgImage.isNull()) {
    switch (Background) {
      case bmNone:
        break;
      case bmTiled:
        painter.fillRect(image.rect(), QBrush(BgImage));
        break;
      case bmStretched:
        painter.drawImage(image.rect(), BgImage);
        break;
      case bmCentered:
        painter.drawImage((size.width() - BgImage.width()) / 2, (size.height() - BgImage.height()) / 2,
                          BgImage);
        break;
    }
  }
  if (!NewPicture.isNull()) {
    const QRect target = TargetRect(size, NewPicture.size(), CenterOn, StretchOn, StretchFineOn);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, target.size() != NewPicture.size());
    painter.drawImage(target, NewPicture);
  }
  return image;
}

void TPicShow::Recompose() {
  if (IsBusy) {
    if (!Drawing) update();
    return;
  }
  ScreenImage = Compose(size());
  update();
}

void TPicShow::Execute() {
  if (IsBusy || NewPicture.isNull()) return;
  IsBusy = true;
  if (AutoSizeOn) resize(NewPicture.size());
  // The old image is what the control shows now, at the control's size.
  OldImage = QImage(size(), QImage::Format_RGB32);
  if (!OldImage.isNull()) {
    OldImage.fill(Color);
    QPainter painter(&OldImage);
    painter.drawImage(0, 0, ScreenImage);
  }
  NewImage = Compose(size());
  SetProgressValue(ReverseOn ? 100 : 0);
  DrawFrame();
  emit Started();
  if (!IsBusy || ManualOn) return;
  ScheduleFrame(0);
}

void TPicShow::ScheduleFrame(int milliseconds) {
  FrameTimer.start(std::max(0, milliseconds));
}

void TPicShow::NextFrame() {
  if (!IsBusy || ManualOn) return;
  FrameClock.start();
  const int end = ReverseOn ? 0 : 100;
  SetProgressValue(ReverseOn ? ProgressValue - StepPercent : ProgressValue + StepPercent);
  DrawFrame();
  if (!IsBusy) return;  // a handler stopped the transition
  if (ProgressValue == end) return EndTransition(true);
  ScheduleFrame(DelayMs - static_cast<int>(FrameClock.elapsed()));
}

void TPicShow::DrawFrame() {
  if (Drawing) return;
  Drawing = true;
  if (StyleIndex == StyleSwap) {
    static const QMetaMethod custom = QMetaMethod::fromSignal(&TPicShow::CustomDraw);
    if (isSignalConnected(custom) && !OldImage.isNull()) {
      ScreenImage = OldImage;
      emit CustomDraw(&ScreenImage, NewImage, ProgressValue);
      Drawing = false;
      update();
      return;
    }
    // Swap jumps to the end of its direction at once.
    const int end = ReverseOn ? 0 : 100;
    if (ProgressValue != end) SetProgressValue(end);
  }
  // Before layout the control may have no area: nothing to draw, the timing goes on.
  if (!OldImage.isNull() && !NewImage.isNull()) {
    emit BeforeNewFrame(&ScreenImage, NewImage);
    RenderTransitionFrameInto(ScreenImage, OldImage, NewImage, StyleIndex, ProgressValue, StepPercent,
                              ReverseOn);
    emit AfterNewFrame(&ScreenImage, NewImage);
  }
  Drawing = false;
  update();
}

void TPicShow::Stop() {
  EndTransition(false);
}

void TPicShow::EndTransition(bool finished) {
  if (!IsBusy) return;
  IsBusy = false;
  FrameTimer.stop();
  // The screen keeps the last frame; a transition that ran out shows the new picture in full.
  if (finished) ScreenImage = NewImage;
  OldImage = QImage();
  NewImage = QImage();
  if (!Destroying) emit Completed(finished);
}

void TPicShow::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect shown = ScreenImage.rect();
  painter.drawImage(0, 0, ScreenImage);
  const QRegion rest = QRegion(event->rect()).subtracted(shown);
  for (const QRect& r : rest) painter.fillRect(r, Color);
}

void TPicShow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (!IsBusy) return Recompose();
  // A running transition goes on at the new size: the old image keeps its place, the new one is
  // composed again.
  QImage old(size(), QImage::Format_RGB32);
  if (!old.isNull()) {
    old.fill(Color);
    QPainter painter(&old);
    painter.drawImage(0, 0, OldImage.isNull() ? ScreenImage : OldImage);
  }
  OldImage = old;
  NewImage = Compose(size());
  DrawFrame();
}

QSize TPicShow::sizeHint() const {
  return AutoSizeOn && !NewPicture.isNull() ? NewPicture.size() : QSize(100, 100);
}

}  // namespace tambrel
