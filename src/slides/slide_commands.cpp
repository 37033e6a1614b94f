#include "slides/slide_commands.h"

#include <algorithm>

namespace tambrel {

TSlideArgument SlideArgumentOf(TSlideCommandCode code) {
  switch (code) {
    case TSlideCommandCode::Delay:
    case TSlideCommandCode::ShowPicture:
      return {2, 0, 0xFFFF};
    case TSlideCommandCode::Step:
    case TSlideCommandCode::ShowWindow:
      return {1, 1, 0xFF};
    case TSlideCommandCode::Style:
      return {1, 118, 127};
    case TSlideCommandCode::Progress:
      return {1, 0, 100};
    default:
      return {1, 0, 0xFF};
  }
}

std::vector<TSlideCommand> ParseSlideCommands(std::span<const uint8_t> bytes) {
  std::vector<TSlideCommand> commands;
  size_t p = 0;
  while (p < bytes.size()) {
    const uint8_t c = bytes[p];
    if (c < FirstSlideCommand || c > LastSlideCommand) break;
    const auto code = static_cast<TSlideCommandCode>(c);
    const TSlideArgument argument = SlideArgumentOf(code);
    uint16_t value = argument.Default;
    if (argument.Width == 2) {
      // A single remaining byte of a two-byte argument is ignored.
      value = p + 2 < bytes.size() ? static_cast<uint16_t>(bytes[p + 1] | bytes[p + 2] << 8) : 0;
    } else if (p + 1 < bytes.size()) {
      value = std::min<uint16_t>(bytes[p + 1], argument.Bound);
    }
    commands.push_back({code, value});
    p += static_cast<size_t>(1 + argument.Width);
  }
  return commands;
}

std::vector<uint8_t> ShowPictureBytes(uint16_t n) {
  return {static_cast<uint8_t>(TSlideCommandCode::ShowPicture), static_cast<uint8_t>(n & 0xFF),
          static_cast<uint8_t>(n >> 8)};
}

}  // namespace tambrel
