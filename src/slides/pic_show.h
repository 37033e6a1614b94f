#pragma once
// TPicShow: a control that replaces its picture by a new one through an animated transition in one of
// 128 styles. Frames are drawn on the window thread, paced by a precise single-shot timer: each frame
// starts Delay ms after the previous one started, at once when drawing took longer.

#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QWidget>

namespace tambrel {

class TPicShow : public QWidget {
  Q_OBJECT

 public:
  enum TBgMode { bmNone, bmTiled, bmStretched, bmCentered };

  explicit TPicShow(QWidget* parent = nullptr);
  ~TPicShow() override;

  // The picture the next transition goes to, and the background drawn behind it.
  void SetPicture(const QImage& picture);
  const QImage& Picture() const { return NewPicture; }
  void SetBgPicture(const QImage& picture);
  void SetBgMode(TBgMode mode);
  TBgMode BgMode() const { return Background; }
  void SetColor(QColor color);

  void SetAutoSize(bool on);
  bool AutoSize() const { return AutoSizeOn; }
  void SetCenter(bool on);
  bool Center() const { return CenterOn; }
  void SetStretch(bool on);
  bool Stretch() const { return StretchOn; }
  void SetStretchFine(bool on);
  bool StretchFine() const { return StretchFineOn; }
  void SetStyle(int style);  // bounded to 0..127
  int Style() const { return StyleIndex; }
  QString StyleName() const;
  void SetStyleName(const QString& name);  // a name not in the table leaves the style as it is
  void SetStep(int step);                  // bounded to 1..100
  int Step() const { return StepPercent; }
  void SetDelay(int milliseconds);
  int Delay() const { return DelayMs; }
  void SetReverse(bool on);
  bool Reverse() const { return ReverseOn; }
  void SetManual(bool on);
  bool Manual() const { return ManualOn; }
  // Accepted for the settings' sake: frames are always drawn on the window thread.
  void SetThreaded(bool on) { ThreadedOn = on; }
  bool Threaded() const { return ThreadedOn; }

  // Outside a transition the value is only kept; under Manual it draws that frame.
  void SetProgress(int progress);
  int Progress() const { return ProgressValue; }
  bool Busy() const { return IsBusy; }

  // Starts a transition to Picture; does nothing while one runs or without a picture.
  void Execute();
  // Ends a running transition at once; Completed reports it unfinished.
  void Stop();

  // What the control shows.
  const QImage& Screen() const { return ScreenImage; }
  // Where a picture of size picture is drawn in an area of size area.
  static QRect TargetRect(QSize area, QSize picture, bool center, bool stretch, bool stretchFine);

  QSize sizeHint() const override;

 signals:
  void Started();
  void ProgressChanged(int progress);
  void BeforeNewFrame(QImage* screen, const QImage& newImage);
  void AfterNewFrame(QImage* screen, const QImage& newImage);
  // Draws the frames of style 0 when connected (directly).
  void CustomDraw(QImage* screen, const QImage& newImage, int progress);
  // The transition ended: finished when it ran to its end, false when it was stopped.
  void Completed(bool finished);
  void Changed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void NextFrame();
  void DrawFrame();
  void EndTransition(bool finished);
  void ScheduleFrame(int milliseconds);
  void SetProgressValue(int progress);
  // The control-sized picture: colour, background, the picture at its target rectangle.
  QImage Compose(QSize size) const;
  void Recompose();

  QImage NewPicture, BgImage;
  TBgMode Background = bmTiled;
  QColor Color = Qt::black;
  bool AutoSizeOn = true, CenterOn = false, StretchOn = false, StretchFineOn = false;
  int StyleIndex = 51, StepPercent = 4, DelayMs = 40;
  bool ReverseOn = false, ManualOn = false, ThreadedOn = true;

  int ProgressValue = 0;
  bool IsBusy = false, Destroying = false, Drawing = false;
  QImage ScreenImage, OldImage, NewImage;
  QTimer FrameTimer;
  QElapsedTimer FrameClock;
};

}  // namespace tambrel
