#pragma once
// The slide window's command queue: any thread posts, the window thread drains. Posting never blocks
// on the window: it appends under a short lock and, when the queue was empty, calls the wake hook
// (which arranges one drain on the window thread). The player's thread reaches the queue through a
// shared owner, so the queue outlives the window and the player's last callback alike.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "slides/slide_commands.h"

namespace tambrel {

class TSlideCommandQueue {
 public:
  using Wake = std::function<void()>;

  // Any thread. Parses bytes and posts each of their commands, in order.
  void PostBytes(std::span<const uint8_t> bytes);
  void Post(const TSlideCommand& command);

  // Window thread: every command posted so far, oldest first.
  std::vector<TSlideCommand> TakeAll();

  // Called on the posting thread, under the queue's lock, when a post finds the queue empty; it must
  // only arrange the drain (a queued invocation), never apply commands itself. An empty hook detaches
  // the window: later posts are kept but wake nothing.
  void SetWake(Wake wake);

 private:
  void Append(const std::vector<TSlideCommand>& commands);

  std::mutex Lock;
  std::deque<TSlideCommand> Pending;  // guarded by Lock
  Wake WakeHook;                      // guarded by Lock
};

// The entry for the routing unit's slide hook: posts the bytes to queue, which it keeps alive.
std::function<void(std::span<const uint8_t>)> SlideEntryFor(std::shared_ptr<TSlideCommandQueue> queue);

}  // namespace tambrel
