#pragma once
// A time-ordered list of timed items with a read position, shared between the window thread (loading,
// unloading, dumping) and the player's timer thread (TakeNext).

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "player/timed.h"

namespace tambrel {

class TPlayer;

// Whether a batch frees its items: a Tambrel's batch owns what it holds; the player's batch only
// borrows the items of the Tambrels' batches.
enum class TItemOwnership { Owns, Borrows };

// All public operations are callable from any thread.
class TTimedBatch {
 public:
  explicit TTimedBatch(TPlayer* owner = nullptr, TItemOwnership ownership = TItemOwnership::Owns);
  ~TTimedBatch();  // Clear
  TTimedBatch(const TTimedBatch&) = delete;
  TTimedBatch& operator=(const TTimedBatch&) = delete;

  int32_t Count() const;
  TTimed* Items(int32_t i) const;  // std::out_of_range outside [0..Count-1]
  int32_t ReadIndex() const;
  void Append(TTimed* item);  // no ordering (a Tambrel's own batch); takes ownership at destruction
  // Append of each of items in turn, under one taking of the locks. Takes ownership only on return:
  // when it throws (no memory), the items are still the caller's.
  void AppendMany(const std::vector<TTimed*>& items);
  // After every item of the same or an earlier time. An insertion below the read position moves it
  // up with the item it pointed at, so nothing is taken twice.
  void AddTimed(TTimed* item);
  // Removes the first reference to item. A removal below the read position moves it down so that no
  // item is passed over; a read position left at or past the end stays at the end, so that nothing
  // already played becomes pending again.
  void RemoveTimed(TTimed* item);
  // The same order and read position as AddTimed of each of items in turn, in O(n log n); the lock is
  // held only to swap in the merged list.
  void AddTimedMany(const std::vector<TTimed*>& items);
  // The same list and read position as RemoveTimed of each of items in turn, in linear time.
  void RemoveTimedMany(const std::vector<TTimed*>& items);
  std::vector<TTimed*> Snapshot() const;  // the item references in list order
  void Clear();  // removes every item, and frees them last to first when the batch owns them
  void Rewind();
  void SeekBefore(uint32_t t);
  // A new item owned by the caller: the item at the read position with the data items of the same
  // time and device right behind it merged in, as many whole ones as fit into one item; null at the
  // end.
  std::unique_ptr<TTimed> TakeNext();
  uint32_t LastTime() const;  // ERangeError for a time above 2147483647
  // Through the owner's trace callback, called after the lock is released: the lines are those of
  // one moment.
  void Dump(int32_t indent);

  // Longest time in microseconds the lock was held by AddTimedMany/RemoveTimedMany (for the benchmark).
  int64_t LongestBulkLockUs() const { return FLongestBulkLockUs.load(std::memory_order_relaxed); }

 private:
  void SetReadIndex(int32_t value) { FReadIndex.store(value, std::memory_order_relaxed); }
  void PublishCount() { FCount.store(static_cast<int32_t>(FItems.size()), std::memory_order_release); }
  void NoteBulkHold(int64_t heldUs);

  TPlayer* Owner;
  const TItemOwnership FOwnership;
  // Serialises the writers (add, remove, append, clear), so that a writer can read FItems without
  // FLock while it builds a new list: the timer thread only reads FItems.
  mutable std::mutex FWriteLock;
  // Guards FItems against change while read by TakeNext, Items and Dump, and every write of FItems
  // and FReadIndex. Taken after FWriteLock when both are needed.
  mutable std::mutex FLock;
  std::vector<TTimed*> FItems;
  // Written under FLock; read without it by the checks that the operations allow to be lock-free.
  std::atomic<int32_t> FReadIndex{0};
  std::atomic<int32_t> FCount{0};
  // False once Append put an item out of time order; the bulk merge needs a sorted list. Guarded by
  // FWriteLock.
  bool FSorted = true;
  std::atomic<int64_t> FLongestBulkLockUs{0};
};

}  // namespace tambrel
