#pragma once
// A Standard MIDI File of a compiled timeline: format 1, 500 ticks per quarter at tempo 500000, so one
// tick is one millisecond and item times are written exactly.

#include <cstdint>
#include <string>
#include <vector>

#include "app/timeline.h"

namespace tambrel {

// Builds the file's bytes. items must be in time order (equal times in delivery order); endTime is the
// time of the last end marker and must not lie before any item. One track per device number, in
// ascending order, named "Device %d", each starting with the tempo; with no data items one track holds
// the tempo alone. An item's bytes are split into messages as the MIDI output splits them: channel
// messages as they are, system exclusive as F0 events; real-time and system common messages, and the
// bytes of an item that do not form complete messages, as F7 escape events (nothing dropped). A gap
// longer than a delta time can hold (0x0FFFFFFF ticks) is bridged by empty text events. More than
// 65535 device numbers throw std::length_error: the header counts tracks in 16 bits.
std::vector<uint8_t> BuildMidiFile(const std::vector<TExportItem>& items, uint32_t endTime);

}  // namespace tambrel
