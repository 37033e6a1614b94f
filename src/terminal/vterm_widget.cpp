#include "terminal/vterm_widget.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <utility>

#include "terminal/colour_table.h"

namespace tambrel {

namespace {

constexpr int kCaretWidth = 2;
const QColor kMarginColour(255, 255, 255);

QColor ToQColor(const TRgb& rgb) {
  return QColor(rgb.Red, rgb.Green, rgb.Blue);
}

// The character a key press stands for, or 0 when it is not one the terminal takes.
char16_t KeyCharacter(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Tab:
      return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Escape:
      return 27;
    default:
      break;
  }
  if ((event.modifiers() & Qt::ControlModifier) && event.key() >= Qt::Key_A && event.key() <= Qt::Key_Z) {
    return static_cast<char16_t>(event.key() - Qt::Key_A + 1);
  }
  const QString text = event.text();
  if (event.key() >= Qt::Key_A && event.key() <= Qt::Key_Z) {
    // Lower case unless Caps Lock (seen in the text) or Shift is on.
    const QChar letter = text.isEmpty() ? QChar(event.key() - Qt::Key_A + 'a') : text.at(0);
    return (event.modifiers() & Qt::ShiftModifier ? letter.toUpper() : letter).unicode();
  }
  return text.isEmpty() ? 0 : text.at(0).unicode();
}

}  // namespace

TCustomVTerm::TCustomVTerm(QWidget* parent, std::string logFileName)
    : QFrame(parent), Terminal(std::move(logFileName)), Cell(MeasureCellFont(DefaultTerminalFont())) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  Terminal.OnBeep = [] { QApplication::beep(); };
  Terminal.OnLogFailure = [this](const std::string& text) { emit OnLogFailed(QString::fromStdString(text)); };
  resize(250, 100);
  SizeChanged();
}

void TCustomVTerm::Write(std::string_view text) {
  Terminal.Write(text);
  AfterWrite();
}

void TCustomVTerm::WriteLn(std::string_view text) {
  Terminal.WriteLn(text);
  AfterWrite();
}

void TCustomVTerm::Clear() {
  Terminal.Clear();
  AfterWrite();
}

void TCustomVTerm::ClearToEndOfLine() {
  Terminal.ClearToEndOfLine();
  AfterWrite();
}

void TCustomVTerm::SetRows(int rows) {
  Terminal.SetRows(rows);
  SizeChanged();
}

void TCustomVTerm::SetCols(int cols) {
  Terminal.SetCols(cols);
  SizeChanged();
}

void TCustomVTerm::SetAutoSize(bool on) {
  AutoSizeOn = on;
  SizeChanged();
}

void TCustomVTerm::SetMonoChrome(bool on) {
  if (on == MonoChromeOn) return;
  MonoChromeOn = on;
  update();
}

void TCustomVTerm::SetTerminalFont(const QFont& font) {
  Cell = MeasureCellFont(font);
  SizeChanged();
}

QPoint TCustomVTerm::CellPosition(int col, int row) const {
  return contentsRect().topLeft() + QPoint(col * Cell.CharWidth + kMarginX, row * Cell.LineHeight + kMarginY);
}

QSize TCustomVTerm::sizeHint() const {
  const int frame = 2 * frameWidth();
  return QSize(Cols() * Cell.CharWidth + 2 * kMarginX + frame,
               Rows() * Cell.LineHeight + 2 * kMarginY + frame);
}

void TCustomVTerm::AfterWrite() {
  if (AutoRepaintOn) RepaintChanged();
  emit OnCursorMoved(CursorCol(), CursorRow());
}

void TCustomVTerm::RepaintChanged() {
  const TChangedArea area = Terminal.TakeChangedArea();
  if (area.WholeScreen) {
    update();
  } else if (!area.Empty()) {
    const QRect content = contentsRect();
    QPoint topLeft = CellPosition(area.FirstCol, area.FirstRow);
    QPoint bottomRight = CellPosition(area.LastCol + 1, area.LastRow + 1) - QPoint(1, 1);
    // The runs at the first and the last column also paint the margin beside them.
    if (area.FirstCol == 0) topLeft.setX(content.left());
    if (area.LastCol >= Cols() - 1) bottomRight.setX(content.right());
    update(QRect(topLeft, bottomRight));
  }
  if (hasFocus() && CaretRect() != PaintedCaret) {
    update(PaintedCaret);
    update(CaretRect());
  }
}

void TCustomVTerm::SizeChanged() {
  if (AutoSizeOn) {
    resize(sizeHint());
    updateGeometry();
  }
  update();
  emit OnDimChanged(Cols(), Rows());
}

QRect TCustomVTerm::CaretRect() const {
  return QRect(CellPosition(CursorCol(), CursorRow()), QSize(kCaretWidth, Cell.LineHeight));
}

void TCustomVTerm::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  const QRect content = contentsRect();
  const QRect area = event->rect() & content;
  painter.setClipRect(area);
  painter.setFont(Cell.Font);
  const int gridTop = content.top() + kMarginY;
  const int gridBottom = gridTop + Rows() * Cell.LineHeight;
  painter.fillRect(QRect(content.left(), content.top(), content.width(), kMarginY), kMarginColour);
  if (gridBottom <= content.bottom()) {
    painter.fillRect(QRect(QPoint(content.left(), gridBottom), content.bottomRight()), kMarginColour);
  }
  const int firstRow = std::max(0, (area.top() - gridTop) / Cell.LineHeight);
  const int lastRow = std::min(Rows() - 1, (area.bottom() - gridTop) / Cell.LineHeight);
  for (int row = firstRow; row <= lastRow; ++row) PaintRow(painter, row, content.left(), content.right());
  PaintedCaret = QRect();
  if (hasFocus()) {
    PaintedCaret = CaretRect();
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.fillRect(PaintedCaret, Qt::white);
  }
}

void TCustomVTerm::PaintRow(QPainter& painter, int row, int left, int right) const {
  const TLine& line = Terminal.Line(row);
  const int y = CellPosition(0, row).y();
  const int cols = Cols();
  for (int start = 0; start < cols;) {
    const uint8_t attribute = line.Attrs[static_cast<size_t>(start)];
    int end = start + 1;
    bool blank = line.Chars[static_cast<size_t>(start)] == U' ';
    while (end < cols && line.Attrs[static_cast<size_t>(end)] == attribute) {
      blank = blank && line.Chars[static_cast<size_t>(end)] == U' ';
      ++end;
    }
    const int x = CellPosition(start, row).x();
    const int runLeft = start == 0 ? left : x;
    const int runRight = end == cols ? right + 1 : CellPosition(end, row).x();
    const TCellColours colours = CellColours(attribute, MonoChromeOn);
    const QRect runRect(runLeft, y, runRight - runLeft, Cell.LineHeight);
    painter.fillRect(runRect, ToQColor(colours.Background));
    if (!blank) {
      // Glyphs that reach beyond their cells (block elements, accents) stay inside the run, so that
      // repainting a neighbour leaves the same pixels as painting everything.
      painter.save();
      painter.setClipRect(runRect, Qt::IntersectClip);
      painter.setPen(ToQColor(colours.Text));
      painter.drawText(QPoint(x, y + Cell.Ascent), QString::fromUcs4(line.Chars.data() + start, end - start));
      painter.restore();
    }
    start = end;
  }
}

void TCustomVTerm::keyPressEvent(QKeyEvent* event) {
  const char16_t key = KeyCharacter(*event);
  if (key == 0) {
    QFrame::keyPressEvent(event);
    return;
  }
  emit OnKeyPress(QChar(key));
}

void TCustomVTerm::focusInEvent(QFocusEvent* event) {
  QFrame::focusInEvent(event);
  update(CaretRect());
}

void TCustomVTerm::focusOutEvent(QFocusEvent* event) {
  QFrame::focusOutEvent(event);
  update(PaintedCaret);
}

bool TCustomVTerm::focusNextPrevChild(bool) {
  return false;  // Tab is a character for the terminal, not a focus move
}

}  // namespace tambrel
