// The terminal control on Qt's offscreen platform: what it paints, and what it tells its owner.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <random>

#include "terminal/vterm_widget.h"

namespace tambrel {
namespace {

class VTermWidget : public testing::Test {
 protected:
  void SetUp() override {
    Term = std::make_unique<TVTerm>(nullptr, "/nonexistent/LOG.TXT");
    Term->SetRows(10);
    Term->SetCols(40);
    Term->SetAutoWrap(true);
  }
  // The colour in the middle of a cell.
  QColor CellColour(const QImage& image, int col, int row) const {
    const QPoint p = Term->CellPosition(col, row) + QPoint(Term->CharWidth() / 2, Term->LineHeight() / 2);
    return image.pixelColor(p);
  }
  std::unique_ptr<TVTerm> Term;
};

TEST_F(VTermWidget, CellGridAndAutoSize) {
  ASSERT_GE(Term->CharWidth(), 1);
  ASSERT_GE(Term->LineHeight(), 1);
  EXPECT_EQ(Term->size(), QSize(40 * Term->CharWidth() + 12, 10 * Term->LineHeight() + 8));
  // Letter spacing keeps an 80-character run on the grid.
  EXPECT_NEAR(QFontMetricsF(Term->TerminalFont()).horizontalAdvance(QString(80, QLatin1Char('x'))),
              80.0 * Term->CharWidth(), 0.5);
  EXPECT_EQ(Term->CellPosition(3, 2), QPoint(3 * Term->CharWidth() + 6, 2 * Term->LineHeight() + 4));
  QSignalSpy dim(Term.get(), &TCustomVTerm::OnDimChanged);
  Term->SetCols(0);
  ASSERT_EQ(dim.count(), 1);
  EXPECT_EQ(dim.at(0), QVariantList({1, 10}));
  EXPECT_EQ(Term->width(), Term->CharWidth() + 12);
}

TEST_F(VTermWidget, PixelsOfCellsAndMargins) {
  Term->Write("\x1b[1;1H\x1b[44m \x1b[m\x1b[2;3H\x1b[1;31m\xe2\x96\x88\x1b[m");
  const QImage image = Term->grab().toImage();
  EXPECT_EQ(CellColour(image, 5, 5), QColor(255, 255, 255));  // default attribute 240: bright white
  EXPECT_EQ(CellColour(image, 0, 0), QColor(0, 0, 255));      // bright blue background (bit 7 stays)
  EXPECT_EQ(image.pixelColor(1, Term->CellPosition(0, 0).y() + 1),
            QColor(0, 0, 255));                              // run reaches into the margin
  EXPECT_EQ(image.pixelColor(1, 1), QColor(255, 255, 255));  // top margin
  EXPECT_EQ(CellColour(image, 2, 1), QColor(255, 0, 0));     // full block in bright red
  Term->SetMonoChrome(true);
  const QImage mono = Term->grab().toImage();
  EXPECT_EQ(CellColour(mono, 2, 1), QColor(0, 0, 0));
  EXPECT_EQ(CellColour(mono, 5, 5), QColor(127, 127, 127));
}

TEST_F(VTermWidget, CaretOnlyWithFocus) {
  Term->show();
  Term->activateWindow();
  Term->setFocus();
  ASSERT_TRUE(QTest::qWaitForWindowActive(Term.get()));
  Term->Write("\x1b[3;4H");
  const QPoint caret = Term->CellPosition(3, 2) + QPoint(0, 1);
  ASSERT_TRUE(Term->hasFocus());
  EXPECT_EQ(Term->grab().toImage().pixelColor(caret), QColor(0, 0, 0));
  Term->clearFocus();
  EXPECT_EQ(Term->grab().toImage().pixelColor(caret), QColor(255, 255, 255));
}

TEST_F(VTermWidget, IncrementalPaintingEqualsFullRepaint) {
  Term->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Term.get()));
  std::mt19937 random(7);
  const std::vector<std::string> pieces = {"x",       "\xe2\x96\x88", "\x1b[31m",  "\x1b[42m",   "\x1b[m",
                                           "\x1b[7m", "\r\n",         "\b",        "\x1b[K",     "\x1b[2@",
                                           "\x1b[P",  "\x1bM",        "\x1b[5;1H", "\x1b[1;40H", "\t"};
  for (int round = 0; round < 40; ++round) {
    for (int i = 0; i < 8; ++i) Term->Write(pieces[random() % pieces.size()]);
    QApplication::processEvents();
  }
  const QImage painted =
      Term->screen()->grabWindow(Term->winId()).toImage().convertToFormat(QImage::Format_RGB32);
  const QImage full = Term->grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(painted.size(), full.size());
  if (painted != full) {
    painted.save(QString::fromStdString(testing::TempDir() + "vterm_incremental.png"));
    full.save(QString::fromStdString(testing::TempDir() + "vterm_full.png"));
  }
  EXPECT_TRUE(painted == full);
}

TEST_F(VTermWidget, NotificationsAndKeys) {
  QSignalSpy moved(Term.get(), &TCustomVTerm::OnCursorMoved);
  Term->WriteLn("abc");
  ASSERT_EQ(moved.count(), 1);
  EXPECT_EQ(moved.at(0), QVariantList({0, 1}));
  QSignalSpy keys(Term.get(), &TCustomVTerm::OnKeyPress);
  QTest::keyClick(Term.get(), Qt::Key_A);
  QTest::keyClick(Term.get(), Qt::Key_A, Qt::ShiftModifier);
  QTest::keyClick(Term.get(), Qt::Key_C, Qt::ControlModifier);
  QTest::keyClick(Term.get(), Qt::Key_Tab);
  QTest::keyClick(Term.get(), Qt::Key_Escape);
  QString typed;
  for (const QVariantList& key : keys) typed += key.at(0).toChar();
  EXPECT_EQ(typed, QString("aA\x03\t\x1b"));
}

}  // namespace
}  // namespace tambrel
