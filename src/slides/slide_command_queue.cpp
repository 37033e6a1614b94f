#include "slides/slide_command_queue.h"

#include <utility>

namespace tambrel {

void TSlideCommandQueue::PostBytes(std::span<const uint8_t> bytes) {
  Append(ParseSlideCommands(bytes));
}

void TSlideCommandQueue::Post(const TSlideCommand& command) {
  Append({command});
}

void TSlideCommandQueue::Append(const std::vector<TSlideCommand>& commands) {
  if (commands.empty()) return;
  std::lock_guard<std::mutex> guard(Lock);
  const bool wasEmpty = Pending.empty();
  Pending.insert(Pending.end(), commands.begin(), commands.end());
  if (wasEmpty && WakeHook) WakeHook();
}

std::vector<TSlideCommand> TSlideCommandQueue::TakeAll() {
  std::lock_guard<std::mutex> guard(Lock);
  std::vector<TSlideCommand> taken(Pending.begin(), Pending.end());
  Pending.clear();
  return taken;
}

void TSlideCommandQueue::SetWake(Wake wake) {
  std::lock_guard<std::mutex> guard(Lock);
  WakeHook = std::move(wake);
}

std::function<void(std::span<const uint8_t>)> SlideEntryFor(std::shared_ptr<TSlideCommandQueue> queue) {
  return [queue = std::move(queue)](std::span<const uint8_t> bytes) { queue->PostBytes(bytes); };
}

}  // namespace tambrel
