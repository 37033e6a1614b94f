// How the program ends around the slide window: closing the main window ends it while the slide window
// is still shown, and Alt+X on the slide window ends it at once.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QTest>
#include <QTimer>

#include "slides/form_slide.h"

namespace tambrel {
namespace {

// A main window that notes whether its closing steps ran.
class TNotingWindow : public QWidget {
 public:
  bool Closed = false;

 protected:
  void closeEvent(QCloseEvent* event) override {
    Closed = true;
    QWidget::closeEvent(event);
  }
};

TEST(FormSlideQuit, AltXEndsTheProgramAtOnceAndClosingTheMainWindowWhileTheSlidesAreShown) {
  TNotingWindow mainWindow;
  TFormSlide slides;
  mainWindow.show();
  slides.ShowSlides();
  // Only a guard against hanging: a loop still running after this long has failed.
  QTimer::singleShot(60000, [] { QCoreApplication::exit(1); });
  QTimer::singleShot(0, &slides, [&] { QTest::keyClick(&slides, Qt::Key_X, Qt::AltModifier); });
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_FALSE(mainWindow.Closed);

  bool shownAtClose = false;
  QTimer::singleShot(0, &mainWindow, [&] {
    shownAtClose = slides.isVisible();
    mainWindow.close();
  });
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_TRUE(mainWindow.Closed);
  EXPECT_TRUE(shownAtClose);
}

}  // namespace
}  // namespace tambrel
