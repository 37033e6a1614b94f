// The memory statistics window on Qt's offscreen platform, fed made-up readings.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "resmon/form_resource_stats.h"

namespace tambrel {
namespace {

TEST(FormResourceStats, NamesTimerCloseAndReset) {
  uint64_t available = 3'000'000'000;
  TFormResourceStats form(nullptr, [&] {
    return std::optional(TMemoryStatus{10, 4'000'000'000, available, 0, 0, 1'000'000, 1'000});
  });
  EXPECT_EQ(form.windowTitle(), "Memory stats");
  EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(form.windowType(), Qt::Tool);
  EXPECT_FALSE(form.testAttribute(Qt::WA_QuitOnClose));
  const auto* timer = form.findChild<QTimer*>("TimerUpdate");
  ASSERT_TRUE(timer);
  EXPECT_EQ(std::pair(timer->isActive(), timer->interval()), std::pair(true, 1000));
  for (int i = 0; i < kStatLabelCount; ++i) {
    const auto* label = form.findChild<QLabel*>(StatLabelName(static_cast<TStatLabel>(i)));
    ASSERT_TRUE(label) << StatLabelName(static_cast<TStatLabel>(i));
    EXPECT_EQ(label->text(), "+0");
  }
  const auto text = [&](const char* name) { return form.findChild<QLabel*>(name)->text(); };

  form.TimerUpdateTimer();
  available -= 4096;
  form.TimerUpdateTimer();
  EXPECT_EQ(std::tuple(text("LabelAvailPhys"), text("LabelAvailPhysChange"), text("LabelLostPhys")),
            std::tuple("+2.999.995.904", "-4.096", "+4.096"));
  QTest::mouseClick(form.findChild<QPushButton*>("ButtonReset"), Qt::LeftButton);
  form.TimerUpdateTimer();
  EXPECT_EQ(text("LabelLostPhys"), "+0");

  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  auto* close = form.findChild<QPushButton*>("ButtonClose");
  EXPECT_EQ(close->text(), "&Close");
  QTest::mouseClick(close, Qt::LeftButton);
  EXPECT_FALSE(form.isVisible());
}

}  // namespace
}  // namespace tambrel
