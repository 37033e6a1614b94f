#include "slides/form_slide.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <thread>

#include "slides/pic_show.h"

namespace tambrel {
namespace {

using Bytes = std::vector<uint8_t>;

bool Near(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 &&
         std::abs(a.blue() - b.blue()) < 24;
}

class FormSlideTest : public ::testing::Test {
 protected:
  FormSlideTest() {
    // Three generated pictures of three types, one of them a JPEG read through Qt's plugin.
    const std::pair<const char*, QColor> pictures[] = {
        {"1 red.png", Qt::red}, {"2 green.jpg", Qt::green}, {"3 blue.bmp", Qt::blue}};
    for (const auto& [name, color] : pictures) {
      QImage image(64, 48, QImage::Format_RGB32);
      image.fill(color);
      EXPECT_TRUE(image.save(Dir.filePath(name))) << name;
    }
  }
  ~FormSlideTest() override {
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (qobject_cast<QMessageBox*>(widget)) delete widget;
  }
  // Posted from a thread of its own, as the player posts.
  void Send(const Bytes& bytes) {
    std::thread([&] { Entry(bytes); }).join();
  }
  // Waits until picture n has been shown to its end.
  bool ShowsPicture(int n) {
    const TPicShow& show = *Form.PicShow();
    return QTest::qWaitFor(
        [&] { return Form.Controller().State().Current == n && !show.Busy() && !show.Picture().isNull(); },
        10000);
  }
  QColor CentreOfGrab() {
    const QImage grab = Form.grab().toImage();
    return grab.pixelColor(grab.width() / 2, grab.height() / 2);
  }
  std::vector<QString> MessageTexts() {
    std::vector<QString> texts;
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
        texts.push_back(box->text());
    return texts;
  }

  QTemporaryDir Dir;
  TFormSlide Form;
  std::function<void(std::span<const uint8_t>)> Entry = Form.SlideEntry();
};

TEST_F(FormSlideTest, AShowCommandMakesTheExpectedPictureAppear) {
  Form.SetPictureRoot(Dir.path().toStdString());
  Send({12, 1, 8, 1, 10, 0, 5, 1, 0});  // show, stretch, Swap, the second picture
  ASSERT_TRUE(ShowsPicture(1));
  EXPECT_TRUE(Near(CentreOfGrab(), Qt::green));
  Send({10, 5, 3, 1, 0, 7, 50, 5, 9, 0});  // Reveal from left, 1 ms, 50 percent; beyond the last
  ASSERT_TRUE(ShowsPicture(2));
  EXPECT_TRUE(Near(CentreOfGrab(), Qt::blue));
}

TEST_F(FormSlideTest, StartsOnHalfTheScreenAndFullScreenCoversItWithoutPointerAlsoByKeys) {
  EXPECT_EQ(Form.windowTitle(), "Tambrel - slide show");
  EXPECT_FALSE(Form.isVisible());
  const QRect screen = Form.screen()->geometry();
  const QRect half(screen.x() + 20, screen.y() + 20, screen.width() / 2, screen.height() / 2);
  EXPECT_EQ(Form.geometry(), half);
  Send({12, 1, 13, 1});
  ASSERT_TRUE(QTest::qWaitFor([&] { return Form.isFullScreen(); }, 10000));
  EXPECT_EQ(Form.geometry(), Form.screen()->geometry());
  EXPECT_EQ(Form.cursor().shape(), Qt::BlankCursor);
  Send({13, 0});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Form.isFullScreen(); }, 10000));
  EXPECT_EQ(Form.geometry(), half);
  EXPECT_NE(Form.cursor().shape(), Qt::BlankCursor);
  // The keys switch full screen on and off, and hide the window.
  QTest::keyClick(&Form, Qt::Key_Return);
  EXPECT_TRUE(Form.isFullScreen());
  QTest::keyClick(&Form, Qt::Key_Space);
  EXPECT_FALSE(Form.isFullScreen());
  QTest::keyClick(&Form, Qt::Key_Escape);
  EXPECT_FALSE(Form.isVisible());
}

TEST_F(FormSlideTest, ARootWithoutPicturesGetsOneNonModalWarning) {
  QTemporaryDir empty;
  Form.SetPictureRoot(empty.path().toStdString());
  EXPECT_TRUE(MessageTexts().empty()) << "shown later, from the event loop";
  ASSERT_TRUE(QTest::qWaitFor([&] { return !MessageTexts().empty(); }, 10000));
  EXPECT_EQ(MessageTexts(),
            std::vector<QString>{empty.path() + "\n\rdoes not contain any supported image file"});
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(FormSlideTest, AnUnreadablePictureIsReportedAndThePreviousOneStays) {
  std::ofstream(Dir.filePath("4 bad.png").toStdString()) << "not a picture";
  Form.SetPictureRoot(Dir.path().toStdString());
  Send({12, 1, 8, 1, 10, 0, 5, 0, 0});
  ASSERT_TRUE(ShowsPicture(0));
  Send({5, 3, 0});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !MessageTexts().empty(); }, 10000));
  const std::vector<QString> texts = MessageTexts();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_TRUE(texts[0].contains("4 bad.png")) << texts[0].toStdString();
  EXPECT_FALSE(Form.PicShow()->Busy());
  EXPECT_TRUE(Near(CentreOfGrab(), Qt::red));
}

}  // namespace
}  // namespace tambrel
