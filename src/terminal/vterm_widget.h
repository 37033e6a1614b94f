#pragma once
// The terminal as a Qt control: paints the screen buffer of a TVTermModel in a fixed-pitch font with
// margins of 6 pixels left and right and 4 pixels top and bottom, repaints only what a write changed,
// and shows a caret at the cursor while it has the focus. Used on the window thread only.

#include <QFrame>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

#include "terminal/cell_font.h"
#include "terminal/vterm_model.h"

namespace tambrel {

class TCustomVTerm : public QFrame {
  Q_OBJECT

 public:
  static constexpr int kMarginX = 6;
  static constexpr int kMarginY = 4;

  // logFileName: where Log appends; empty means WritablePath() + "LOG.TXT".
  explicit TCustomVTerm(QWidget* parent = nullptr, std::string logFileName = {});

  // Each writes into the buffer, repaints the changed cells (with AutoRepaint) and notifies
  // OnCursorMoved. Text is UTF-8.
  void Write(std::string_view text);
  void WriteLn(std::string_view text);
  void Clear();
  void ClearToEndOfLine();

  int CursorCol() const { return Terminal.CursorCol(); }
  int CursorRow() const { return Terminal.CursorRow(); }

  // Size changes clear the screen, resize the control (with AutoSize) and notify OnDimChanged.
  int Rows() const { return Terminal.Rows(); }
  void SetRows(int rows);
  int Cols() const { return Terminal.Cols(); }
  void SetCols(int cols);

  uint8_t Attribute() const { return Terminal.Attribute(); }
  void SetAttribute(uint8_t attribute) { Terminal.SetAttribute(attribute); }
  bool AutoLF() const { return Terminal.AutoLF(); }
  void SetAutoLF(bool on) { Terminal.SetAutoLF(on); }
  bool AutoCR() const { return Terminal.AutoCR(); }
  void SetAutoCR(bool on) { Terminal.SetAutoCR(on); }
  bool AutoWrap() const { return Terminal.AutoWrap(); }
  void SetAutoWrap(bool on) { Terminal.SetAutoWrap(on); }
  int AutoWrapCol() const { return Terminal.AutoWrapCol(); }
  void SetAutoWrapCol(int col) { Terminal.SetAutoWrapCol(col); }
  // Throws EInOutError naming the file and the reason when the log cannot be opened or written.
  bool Log() const { return Terminal.Log(); }
  void SetLog(bool on) { Terminal.SetLog(on); }

  bool AutoSize() const { return AutoSizeOn; }
  void SetAutoSize(bool on);
  bool AutoRepaint() const { return AutoRepaintOn; }
  void SetAutoRepaint(bool on) { AutoRepaintOn = on; }
  bool MonoChrome() const { return MonoChromeOn; }
  void SetMonoChrome(bool on);

  const QFont& TerminalFont() const { return Cell.Font; }
  // Takes the font forced to fixed pitch, measures its cell, resizes and notifies OnDimChanged.
  void SetTerminalFont(const QFont& font);
  int CharWidth() const { return Cell.CharWidth; }
  int LineHeight() const { return Cell.LineHeight; }

  // The top-left pixel of a cell in the control's coordinates.
  QPoint CellPosition(int col, int row) const;

  const TVTermModel& Model() const { return Terminal; }

  QSize sizeHint() const override;

 signals:
  void OnCursorMoved(int col, int row);
  void OnDimChanged(int cols, int rows);
  // A key pressed while the control has the focus, as a character (control codes below 32 for Ctrl).
  void OnKeyPress(QChar key);
  // Writing the log failed; the log has been switched off.
  void OnLogFailed(const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  bool focusNextPrevChild(bool next) override;

 private:
  void AfterWrite();
  void RepaintChanged();
  void SizeChanged();
  QRect CaretRect() const;
  void PaintRow(class QPainter& painter, int row, int left, int right) const;

  TVTermModel Terminal;
  TCellFont Cell;
  bool AutoSizeOn = true;
  bool AutoRepaintOn = true;
  bool MonoChromeOn = false;
  QRect PaintedCaret;
};

// The terminal control as forms place it.
class TVTerm : public TCustomVTerm {
  Q_OBJECT

 public:
  using TCustomVTerm::TCustomVTerm;
};

}  // namespace tambrel
