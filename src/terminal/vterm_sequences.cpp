// The escape sequences after "[": their parameters and what each final character does.
#include <algorithm>

#include "terminal/vterm_model.h"

namespace tambrel {

namespace {

// Large enough for any screen position or count, small enough that row + n never overflows.
constexpr int kParameterLimit = 65535;

}  // namespace

void TVTermModel::CarryOutCsi(char32_t final) {
  std::array<int, kEscapeBufferSize> params{};
  int count = 0;
  for (int i = 1; i < EscapeLength; ++i) {
    const char c = EscapeBuffer[static_cast<size_t>(i)];
    if (count == 0) count = 1;
    if (c == ';') {
      ++count;
    } else if (c >= '0' && c <= '9') {
      int& value = params[static_cast<size_t>(count - 1)];
      value = std::min(value * 10 + (c - '0'), kParameterLimit);
    }
  }
  const int first = params[0];
  const int atLeastOne = std::max(first, 1);
  switch (final) {
    case U'A':
      Row = std::max(Row - atLeastOne, 0);
      break;
    case U'B':
      Row = std::min(Row + atLeastOne, NumRows - 1);
      break;
    case U'C':
      MoveRight(atLeastOne);
      break;
    case U'D':
      Col = std::max(Col - atLeastOne, 0);
      break;
    case U'H':
    case U'f':
      Row = std::clamp(first - 1, 0, NumRows - 1);
      Col = std::clamp((count > 1 ? params[1] : 1) - 1, 0, NumCols - 1);
      break;
    case U'J':
      if (first == 0) {
        Attr = kDefaultAttribute;
        ClearToLineEnd();
        ClearLines(Row + 1, NumRows - 1);
      } else if (first == 1) {
        ClearLines(0, Row);
      } else if (first == 2) {
        Clear();
      }
      break;
    case U'K':
      ClearToLineEnd();
      break;
    case U'L':
      InsertLines(atLeastOne);
      break;
    case U'M':
      DeleteLines(atLeastOne);
      break;
    case U'@':
      InsertChars(atLeastOne);
      break;
    case U'P':
      DeleteChars(atLeastOne);
      break;
    case U'S':
      Screen.ScrollUp(RegionTop(), RegionBottom(), 1, kDefaultAttribute);
      MarkWholeScreen();
      break;
    case U'r':
      SetRegion(first, count > 1 ? params[1] : 0);
      break;
    case U'm':
      SetAttributes(count, params);
      break;
    default:
      break;  // unlisted finals (>, I, T, g, h, l, n, s, u and the rest) are ignored
  }
}

void TVTermModel::MoveRight(int count) {
  const int target = Col + count;
  if (target < NumCols) {
    Col = target;
  } else if (AutoWrapOn) {
    const int wrapped = WrapColumn() + (target - NumCols);
    Col = wrapped < NumCols ? wrapped : 0;
    Row = std::min(Row + 1, NumRows - 1);
  } else {
    Col = NumCols - 1;
  }
}

void TVTermModel::SetAttributes(int paramCount, const std::array<int, kEscapeBufferSize>& params) {
  if (paramCount == 0) {
    Attr = kDefaultAttribute;
    Reverse = false;
    return;
  }
  for (int i = 0; i < paramCount; ++i) {
    const int p = params[static_cast<size_t>(i)];
    if (p == 0) {
      Attr = kDefaultAttribute;
      Reverse = false;
      Underline = false;
    } else if (p == 1) {
      Attr |= 0x08;
    } else if (p == 4) {
      Underline = true;
    } else if (p == 5) {
      Attr |= 0x80;
    } else if (p == 7) {
      Reverse = true;
    } else if (p == 8) {
      Attr = 0;
    } else if (p == 22) {
      Attr &= static_cast<uint8_t>(~0x08);
    } else if (p == 27) {
      Attr = kDefaultAttribute;
      Reverse = false;
    } else if (p >= 30 && p <= 37) {
      Attr = static_cast<uint8_t>((Attr & ~0x07) | (p - 30));
    } else if (p >= 40 && p <= 47) {
      Attr = static_cast<uint8_t>((Attr & ~0x70) | ((p - 40) << 4));
    }
  }
  if (Reverse) {
    // The colour fields change places; the two bright bits stay where they are.
    Attr = static_cast<uint8_t>((Attr & 0x88) | ((Attr & 0x07) << 4) | ((Attr >> 4) & 0x07));
  }
}

}  // namespace tambrel
