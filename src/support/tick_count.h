#pragma once
// The millisecond tick count: the monotonic clock in milliseconds as a wrapping 32-bit value.

#include <cstdint>

namespace tambrel {

uint32_t GetTickCount();

// Takes the start tick that DebugLog measures from.
void ResetStartTick();

// Milliseconds since the start tick, modulo 2^32 (the difference stays right across a wrap of the count).
uint32_t TicksSinceStart();

}  // namespace tambrel
