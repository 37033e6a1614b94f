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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tambrel::TVTermModel terminal("/nonexistent/LOG.TXT");
  size_t at = 0;
  const auto next = [&]() -> int { return at < size ? data[at++] : 0; };
  while (at < size) {
    const int op = next();
    const int value = static_cast<int16_t>(next() << 8 | next());
    switch (op % 12) {
      case 0:
        terminal.SetRows(value);
        break;
      case 1:
        terminal.SetCols(value);
        break;
      case 2:
        terminal.SetAutoWrap(value & 1);
        terminal.SetAutoLF(value & 2);
        terminal.SetAutoCR(value & 4);
        break;
      case 3:
        terminal.SetAutoWrapCol(value);
        break;
      case 4:
        terminal.SetAttribute(static_cast<uint8_t>(value));
        break;
      case 5:
        terminal.Clear();
        break;
      case 6:
        terminal.ClearToEndOfLine();
        break;
      case 7:
        terminal.TakeChangedArea();
        break;
      default: {
        const size_t length = std::min(size - at, static_cast<size_t>(value & 0xFF));
        const std::string_view text(reinterpret_cast<const char*>(data + at), length);
        at += length;
        if (op & 1) {
          terminal.WriteLn(text);
        } else {
          terminal.Write(text);
        }
      }
    }
    CheckInside(terminal);
  }
  return 0;
}
