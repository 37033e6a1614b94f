#include "support/tick_count.h"

#include <atomic>
#include <chrono>

namespace tambrel {

namespace {
std::atomic<uint32_t> startTick{0};  // written at start-up, read by DebugLog on any thread
}

uint32_t GetTickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void ResetStartTick() {
  startTick.store(GetTickCount(), std::memory_order_relaxed);
}

uint32_t TicksSinceStart() {
  return GetTickCount() - startTick.load(std::memory_order_relaxed);
}

}  // namespace tambrel
