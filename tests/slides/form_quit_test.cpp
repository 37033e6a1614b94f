// Closing the main window ends the program while the slide window is still shown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "slides/form_slide.h"

namespace tambrel {
namespace {

TEST(FormSlideQuit, ClosingTheMainWindowEndsTheEventLoopWhileTheSlidesAreShown) {
  QWidget mainWindow;
  TFormSlide slides;
  mainWindow.show();
  slides.ShowSlides();
  bool shownAtClose = false;
  QTimer::singleShot(0, &mainWindow, [&] {
    shownAtClose = slides.isVisible();
    mainWindow.close();
  });
  // Only a guard against hanging: a loop still running after this long has failed.
  QTimer::singleShot(30000, [] { QCoreApplication::exit(1); });
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_TRUE(shownAtClose);
}

}  // namespace
}  // namespace tambrel
