#pragma once
// The slide command language: a data item's bytes read as (command, value) pairs. Each command byte is
// followed by its argument, one byte or two (low byte first); a missing argument takes the command's
// default, and a command byte of 0 or above 15 ends the sequence.

#include <cstdint>
#include <span>
#include <vector>

namespace tambrel {

// The slide window's private message: one command, applied on the window thread.
inline constexpr int MsgSlideCommand = 1024;

enum class TSlideCommandCode : uint8_t {
  AutoSize = 1,
  Center = 2,
  Delay = 3,
  Manual = 4,
  ShowPicture = 5,
  Reverse = 6,
  Step = 7,
  Stretch = 8,
  StretchFine = 9,
  Style = 10,
  Progress = 11,
  ShowWindow = 12,
  FullScreen = 13,
  AdvanceInOrder = 14,
  AdvanceAtRandom = 15,
};

inline constexpr uint8_t FirstSlideCommand = 1;
inline constexpr uint8_t LastSlideCommand = 15;

struct TSlideCommand {
  TSlideCommandCode Code;
  uint16_t Value;
  bool operator==(const TSlideCommand&) const = default;
};

// How one command reads its argument.
struct TSlideArgument {
  int Width;         // argument bytes: 1 or 2
  uint16_t Default;  // value when the argument is missing
  uint16_t Bound;    // largest value; larger ones become this
};
TSlideArgument SlideArgumentOf(TSlideCommandCode code);

// Every command of bytes, in order, up to the first terminating command byte.
std::vector<TSlideCommand> ParseSlideCommands(std::span<const uint8_t> bytes);

// The three bytes that show picture n.
std::vector<uint8_t> ShowPictureBytes(uint16_t n);

}  // namespace tambrel
