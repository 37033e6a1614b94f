#include "terminal/vterm_model.h"

#include <algorithm>
#include <utility>

#include "support/app_paths.h"
#include "support/runtime_errors.h"

namespace tambrel {

std::string DefaultTerminalLogFileName() {
  return WritablePath() + "LOG.TXT";
}

TVTermModel::TVTermModel(std::string logFileName)
    : LogPath(logFileName.empty() ? DefaultTerminalLogFileName() : std::move(logFileName)) {
  WriteLn("VTerm");
}

TVTermModel::~TVTermModel() {
  if (!LogFile.IsOpen()) return;
  try {
    LogFile.Write("<Close>\n");
  } catch (const EInOutError&) {
    // Nothing can be reported from here; the file is closed all the same.
  }
  LogFile.Close();
}

void TVTermModel::Write(std::string_view text) {
  if (LogFile.IsOpen()) {
    try {
      LogFile.Write(text);
    } catch (const EInOutError& error) {
      // A failing log must not stop the message area: the text is still shown, the log goes off and
      // says why once.
      LogFile.Close();
      if (OnLogFailure) OnLogFailure(error.what());
    }
  }
  for (const char byte : text) {
    Decoder.Feed(static_cast<uint8_t>(byte), [this](char32_t c) { Interpret(c); });
  }
}

void TVTermModel::WriteLn(std::string_view text) {
  Write(text);
  ClearToLineEnd();
  Write("\r\n");
}

void TVTermModel::Clear() {
  ClearScreen();
  Row = 0;
  Col = 0;
}

void TVTermModel::ClearToEndOfLine() {
  ClearToLineEnd();
}

void TVTermModel::SetRows(int rows) {
  Clear();
  NumRows = std::clamp(rows, 1, kMaxRows);
  Clear();
}

void TVTermModel::SetCols(int cols) {
  Clear();
  NumCols = std::clamp(cols, 1, kMaxCols);
  Clear();
}

void TVTermModel::SetLog(bool on) {
  if (on == LogFile.IsOpen()) return;
  const char* line = on ? "<Open>\n" : "<Close>\n";
  if (on) LogFile.Open(LogPath);
  try {
    LogFile.Write(line);
  } catch (const EInOutError&) {
    LogFile.Close();
    throw;
  }
  if (!on) LogFile.Close();
}

int TVTermModel::RegionTop() const {
  return std::min(StoredTop, NumRows - 1);
}

int TVTermModel::RegionBottom() const {
  return std::min(StoredBottom, NumRows - 1);
}

TChangedArea TVTermModel::TakeChangedArea() {
  return std::exchange(Changed, TChangedArea{});
}

void TVTermModel::Interpret(char32_t c) {
  if (InEscape) {
    CollectEscape(c);
    return;
  }
  switch (c) {
    case 0:
    case 14:
    case 15:
      break;
    case 7:
      Beep();
      break;
    case 8:
      Col = std::max(Col - 1, 0);
      break;
    case 9:
      Tab();
      break;
    case 10:
      LineFeed();
      if (AutoCarriageReturn) Col = 0;
      break;
    case 13:
      Col = 0;
      if (AutoLineFeed) LineFeed();
      break;
    case 27:
      InEscape = true;
      EscapeLength = 0;
      break;
    default:
      PutChar(c);
  }
}

void TVTermModel::CollectEscape(char32_t c) {
  const bool endsAtOnce =
      EscapeLength == 0 && std::u32string_view(U"78<=>DEHM").find(c) != std::u32string_view::npos;
  const bool afterCharsetIntroducer =
      EscapeLength == 1 && std::string_view("()*+").find(EscapeBuffer[0]) != std::string_view::npos;
  const bool parameter = c == U' ' || c == U';' || c == U'?' || (c >= U'0' && c <= U'9');
  const bool introducer =
      EscapeLength == 0 && std::u32string_view(U"[()*+").find(c) != std::u32string_view::npos;
  if (endsAtOnce || afterCharsetIntroducer || !(parameter || introducer)) {
    EndEscape(c);
    return;
  }
  EscapeBuffer[static_cast<size_t>(EscapeLength++)] = static_cast<char>(c);
  if (EscapeLength == kEscapeBufferSize) {
    InEscape = false;
    Beep();
  }
}

void TVTermModel::EndEscape(char32_t final) {
  InEscape = false;
  if (EscapeLength > 0) {
    if (EscapeBuffer[0] == '[') CarryOutCsi(final);
    return;
  }
  if (final == U'M') {
    ReverseLineFeed();
  } else if (std::u32string_view(U"78<=>DEH").find(final) == std::u32string_view::npos) {
    PutChar(final);
  }
}

void TVTermModel::PutChar(char32_t c) {
  if (Col >= NumCols && AutoWrapOn) {
    Col = WrapColumn();
    ++Row;
  }
  if (Row >= NumRows) {
    Row = NumRows - 1;
    Screen.ScrollUp(RegionTop(), RegionBottom(), 1, kDefaultAttribute);
    MarkWholeScreen();
  }
  TLine& line = Screen.Line(Row);
  line.Chars[static_cast<size_t>(Col)] = c;
  line.Attrs[static_cast<size_t>(Col)] = Attr;
  MarkCells(Row, Col, Col);
  if (Col < kMaxCols) ++Col;
}

void TVTermModel::LineFeed() {
  const int bottom = RegionBottom();
  if (++Row > bottom) {
    Row = bottom;
    Screen.ScrollUp(RegionTop(), bottom, 1, kDefaultAttribute);
    MarkWholeScreen();
  }
}

void TVTermModel::ReverseLineFeed() {
  const int top = RegionTop();
  if (--Row < top) {
    Row = top;
    Screen.ScrollDown(top, RegionBottom(), 1, kDefaultAttribute);
    MarkWholeScreen();
  }
}

void TVTermModel::Tab() {
  // Never past the last column, and never back from a cursor already beyond it.
  Col = std::max(Col, std::min((Col / 8 + 1) * 8, NumCols));
}

void TVTermModel::Beep() {
  if (OnBeep) OnBeep();
}

void TVTermModel::MarkCells(int row, int first, int last) {
  if (first > last) return;
  Changed.Widen(row, first, std::min(last, kMaxCols));
}

}  // namespace tambrel
