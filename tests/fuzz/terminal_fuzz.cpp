// Random bytes and property changes for the terminal model: the cursor, the scroll region and the
// changed area must stay inside the buffer, and no sanitizer may report.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "terminal/vterm_model.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckInside(const tambrel::TVTermModel& terminal) {
  Check(terminal.Rows() >= 1 && terminal.Rows() <= tambrel::kMaxRows);
  Check(terminal.Cols() >= 1 && terminal.Cols() <= tambrel::kMaxCols);
  Check(terminal.CursorRow() >= 0 && terminal.CursorRow() < terminal.Rows());
  Check(terminal.CursorCol() >= 0 && terminal.CursorCol() <= tambrel::kMaxCols);
  Check(terminal.RegionTop() >= 0 && terminal.RegionTop() <= terminal.RegionBottom());
  Check(terminal.RegionBottom() < terminal.Rows());
  const tambrel::TChangedArea& area = terminal.ChangedArea();
  Check(area.Empty() || area.WholeScreen ||
        (area.FirstRow >= 0 && area.LastRow < terminal.Rows() && area.FirstCol >= 0 &&
         area.LastCol <= tambrel::kMaxCols));
}

void SetProperty(tambrel::TVTermModel& terminal, int which, int value) {
  switch (which) {
    case 0:
      return terminal.SetRows(value);
    case 1:
      return terminal.SetCols(value);
    case 2:
      terminal.SetAutoWrap(value & 1);
      terminal.SetAutoLF(value & 2);
      return terminal.SetAutoCR(value & 4);
    case 3:
      return terminal.SetAutoWrapCol(value);
    case 4:
      return terminal.SetAttribute(static_cast<uint8_t>(value));
    case 5:
      return terminal.Clear();
    case 6:
      return terminal.ClearToEndOfLine();
    default:
      terminal.TakeChangedArea();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tambrel::TVTermModel terminal("/nonexistent/LOG.TXT");
  size_t at = 0;
  const auto next = [&]() -> int { return at < size ? data[at++] : 0; };
  while (at < size) {
    const int op = next();
    const int high = next();
    const int value = static_cast<int16_t>(high << 8 | next());
    if (op % 12 < 8) {
      SetProperty(terminal, op % 12, value);
    } else {
      const size_t length = std::min(size - at, static_cast<size_t>(value & 0xFF));
      const std::string_view text(reinterpret_cast<const char*>(data + at), length);
      at += length;
      op & 1 ? terminal.WriteLn(text) : terminal.Write(text);
    }
    CheckInside(terminal);
  }
  return 0;
}
