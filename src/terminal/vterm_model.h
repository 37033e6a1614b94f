#pragma once
// The terminal without its window: a screen buffer and the interpreter of control characters and
// escape sequences that writes into it, with the terminal's properties and its log file. Used on one
// thread only (the window thread when the widget shows it).

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "terminal/changed_area.h"
#include "terminal/screen_buffer.h"
#include "terminal/terminal_log.h"
#include "terminal/utf8_decoder.h"

namespace tambrel {

// WritablePath() + "LOG.TXT".
std::string DefaultTerminalLogFileName();

class TVTermModel {
 public:
  // logFileName is where Log appends; empty means DefaultTerminalLogFileName(). Writes "VTerm" and a
  // line end as the first line.
  explicit TVTermModel(std::string logFileName = {});
  ~TVTermModel();
  TVTermModel(const TVTermModel&) = delete;
  TVTermModel& operator=(const TVTermModel&) = delete;

  // UTF-8 text (a character may be split across calls); each byte goes to the log first when Log is on.
  void Write(std::string_view text);
  // Write(text), clear to the end of the line, then a carriage return and a line feed.
  void WriteLn(std::string_view text);
  // The whole screen cleared with the current attribute; cursor to 0,0.
  void Clear();
  void ClearToEndOfLine();

  int CursorCol() const { return Col; }
  int CursorRow() const { return Row; }

  // Sizes are clamped to 1..1000 rows and 1..150 columns; a change clears the screen and homes the cursor.
  int Rows() const { return NumRows; }
  void SetRows(int rows);
  int Cols() const { return NumCols; }
  void SetCols(int cols);

  uint8_t Attribute() const { return Attr; }
  void SetAttribute(uint8_t attribute) { Attr = attribute; }
  bool AutoLF() const { return AutoLineFeed; }
  void SetAutoLF(bool on) { AutoLineFeed = on; }
  bool AutoCR() const { return AutoCarriageReturn; }
  void SetAutoCR(bool on) { AutoCarriageReturn = on; }
  bool AutoWrap() const { return AutoWrapOn; }
  void SetAutoWrap(bool on) { AutoWrapOn = on; }
  int AutoWrapCol() const { return WrapCol; }
  void SetAutoWrapCol(int col) { WrapCol = col; }

  // Switching on opens the log file for appending and writes "<Open>"; throws EInOutError naming the
  // file and the reason, and Log stays off. Switching off writes "<Close>" and closes the file.
  bool Log() const { return LogFile.IsOpen(); }
  void SetLog(bool on);
  const std::string& LogFileName() const { return LogPath; }

  // The scroll region as it acts on the current screen size (0-based, inclusive).
  int RegionTop() const;
  int RegionBottom() const;

  // Screen row 0..Rows-1 (up to 1000: the buffer has one line more than the largest screen).
  const TLine& Line(int row) const { return Screen.Line(row); }

  const TChangedArea& ChangedArea() const { return Changed; }
  // The changed area for the painter; the terminal starts a new, empty one.
  TChangedArea TakeChangedArea();

  // Called for the bell character and for an overlong escape sequence.
  std::function<void()> OnBeep;
  // Called once with the error's text when writing to the log fails; the log is then closed and Log off.
  std::function<void(const std::string&)> OnLogFailure;

 private:
  static constexpr int kEscapeBufferSize = 80;

  void Interpret(char32_t c);
  void CollectEscape(char32_t c);
  void EndEscape(char32_t final);
  void CarryOutCsi(char32_t final);  // vterm_sequences.cpp
  void SetAttributes(int paramCount, const std::array<int, kEscapeBufferSize>& params);
  void MoveRight(int count);

  void PutChar(char32_t c);
  void LineFeed();
  void ReverseLineFeed();
  void Tab();
  void Beep();

  void ClearScreen();
  void ClearLines(int first, int last);
  void ClearToLineEnd();
  void InsertLines(int count);
  void DeleteLines(int count);
  void InsertChars(int count);
  void DeleteChars(int count);
  void SetRegion(int top, int bottom);

  int WrapColumn() const { return WrapCol >= 0 && WrapCol < NumCols ? WrapCol : 0; }
  void MarkCells(int row, int first, int last);
  void MarkWholeScreen() { Changed.WholeScreen = true; }

  TScreenBuffer Screen;
  TChangedArea Changed;
  TUtf8Decoder Decoder;

  int NumRows = kMaxRows;
  int NumCols = kMaxCols;
  int Row = 0;
  int Col = 0;
  int StoredTop = 0;  // the region as set; RegionTop/RegionBottom fit it to the screen
  int StoredBottom = kMaxRows - 1;
  uint8_t Attr = kDefaultAttribute;
  bool Reverse = false;
  bool Underline = false;  // kept for the attribute sequences; not shown
  bool AutoLineFeed = false;
  bool AutoCarriageReturn = false;
  bool AutoWrapOn = false;
  int WrapCol = 0;

  bool InEscape = false;
  int EscapeLength = 0;
  std::array<char, kEscapeBufferSize> EscapeBuffer{};

  std::string LogPath;
  TTerminalLog LogFile;
};

}  // namespace tambrel
