#include "slides/pic_show.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "slides/frame_renderer.h"

namespace tambrel {
namespace {

QImage Solid(QSize size, QColor color) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(color);
  return image;
}

class PicShowTest : public ::testing::Test {
 protected:
  PicShowTest() : Completed(&Show, &TPicShow::Completed), Progress(&Show, &TPicShow::ProgressChanged) {
    Show.SetAutoSize(false);
    Show.resize(40, 30);
    Show.SetDelay(0);
    Show.SetStyle(5);
  }
  void RunTo(const QImage& picture) {
    Show.SetPicture(picture);
    Show.Execute();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Show.Busy(); }, 10000));
  }

  TPicShow Show;
  QSignalSpy Completed, Progress;
};

// A step of 0 acts as 1, Reverse runs down, and a control without area keeps its timing.
TEST_F(PicShowTest, EachStepRunsTheWholeWayWithOneCompletion) {
  const std::tuple<int, bool, QSize> cases[] = {
      {10, false, {40, 30}}, {0, true, {40, 30}}, {25, false, {0, 0}}};
  for (const auto& [step, reverse, size] : cases) {
    Show.resize(size);
    Show.SetStep(step);
    Show.SetReverse(reverse);
    Completed.clear();
    Progress.clear();
    RunTo(Solid({40, 30}, reverse ? Qt::green : Qt::red));
    std::vector<int> expected, values;
    for (int p = 0; p <= 100; p += std::max(step, 1)) expected.push_back(reverse ? 100 - p : p);
    for (const QList<QVariant>& arguments : Progress) values.push_back(arguments.at(0).toInt());
    EXPECT_EQ(values, expected) << step;
    ASSERT_EQ(Completed.count(), 1) << step;
    EXPECT_TRUE(Completed.at(0).at(0).toBool());
    EXPECT_EQ(Show.Step(), std::max(step, 1));
    if (!size.isEmpty()) {
      EXPECT_EQ(Show.Screen(), Solid(size, reverse ? Qt::green : Qt::red)) << step;
    }
  }
}

TEST_F(PicShowTest, StopReportsAnUnfinishedTransitionOnce) {
  Show.SetStep(1);
  Show.SetDelay(60000);
  Show.SetPicture(Solid({40, 30}, Qt::red));
  Show.Execute();
  QCoreApplication::processEvents();
  ASSERT_TRUE(Show.Busy());
  Show.Stop();
  Show.Stop();
  QCoreApplication::processEvents();
  ASSERT_EQ(Completed.count(), 1);
  EXPECT_FALSE(Completed.at(0).at(0).toBool());
  EXPECT_FALSE(Show.Busy());
}

// Without a picture Execute does nothing. A manual progress outside a transition is kept without
// drawing; inside one each progress given is drawn, and it never completes by itself.
TEST_F(PicShowTest, ManualDrawsEachProgressItIsGivenAndNeverCompletesByItself) {
  Show.Execute();
  EXPECT_FALSE(Show.Busy());
  EXPECT_EQ(Progress.count(), 0);
  RunTo(Solid({40, 30}, Qt::red));
  const QImage before = Show.Screen(), next = Solid({40, 30}, Qt::blue);
  Show.SetManual(true);
  Show.SetProgress(40);
  EXPECT_EQ(Show.Progress(), 40);
  EXPECT_EQ(Show.Screen(), before);
  Show.SetPicture(next);
  Show.Execute();
  for (int p : {30, 60, 30, 100, 100}) {
    Show.SetProgress(p);
    EXPECT_EQ(Show.Screen(), RenderTransitionFrame(before, next, 5, p, Show.Step(), false)) << p;
  }
  QCoreApplication::processEvents();
  EXPECT_TRUE(Show.Busy());
  EXPECT_EQ(Completed.count(), 1);  // the first transition's only
}

TEST_F(PicShowTest, ASmallerNewPictureReplacesTheWholeOldOne) {
  Show.SetCenter(true);
  Show.SetStep(50);
  RunTo(Solid({40, 30}, Qt::red));
  RunTo(Solid({10, 10}, Qt::blue));
  EXPECT_EQ(Show.Screen().pixelColor(20, 15), QColor(Qt::blue));
  EXPECT_EQ(Show.Screen().pixelColor(0, 0), QColor(Qt::black));
  EXPECT_EQ(Show.Screen().pixelColor(39, 29), QColor(Qt::black));
}

TEST_F(PicShowTest, SwapEndsAtOnceInEitherDirection) {
  Show.SetStyle(0);
  for (bool reverse : {false, true}) {
    Completed.clear();
    Show.SetReverse(reverse);
    RunTo(Solid({40, 30}, reverse ? Qt::green : Qt::red));
    ASSERT_EQ(Completed.count(), 1);
    EXPECT_TRUE(Completed.at(0).at(0).toBool());
    EXPECT_EQ(Show.Progress(), reverse ? 0 : 100);
    EXPECT_EQ(Show.Screen().pixelColor(5, 5), QColor(reverse ? Qt::green : Qt::red));
  }
}

TEST_F(PicShowTest, StyleNamesSelectTheFirstRowWithoutRegardToCase) {
  const std::pair<const char*, int> cases[] = {{"FADE", 118},
                                               {"Expand from bottom", 18},
                                               {"expand in from top", 25},
                                               {"Random squares appear", 127},
                                               {"no such style", 127}};
  for (const auto& [name, style] : cases) {
    Show.SetStyleName(name);
    EXPECT_EQ(Show.Style(), style) << name;
  }
  EXPECT_EQ(Show.StyleName(), "Random squares appear");
  Show.SetStyle(200);
  EXPECT_EQ(Show.Style(), 127);
}

}  // namespace
}  // namespace tambrel
