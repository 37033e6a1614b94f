#pragma once
// Where expansion puts its items, with the guards that keep a runaway script from eating the machine:
// a cap on the items of one compile, a cap on its steps (statements expanded and loop passes, which
// bounds the work of calls and loops that make no items) and a limit on how deeply calls may nest.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>
#include "player/timed.h"
#include "player/timed_batch.h"
#include "support/runtime_errors.h"

namespace tambrel {

// More items than one compile may generate. Ends the compile like an integer overflow.
class ETooManyItems : public std::length_error {
 public:
  explicit ETooManyItems(int64_t cap);
};

// More steps than one compile may take. Ends the compile like an integer overflow.
class ETooMuchWork : public std::length_error {
 public:
  explicit ETooMuchWork(int64_t cap);
};

// Thrown after the message about the too deeply nested call has been reported; the root stops the
// whole expansion on it.
class ECallTooDeep : public std::runtime_error {
 public:
  ECallTooDeep() : std::runtime_error("call nesting limit") {}
};

class TExpansion {
 public:
  // A data item costs about 32 bytes of its own plus its slots in the root's and the player's batches;
  // 20 million of them stay below 2 GB.
  static constexpr int64_t DefaultMaxItems = 20000000;
  // Each nested call takes a few hundred bytes of stack; 1000 levels fit the default 8 MB stack even in
  // a sanitizer build.
  static constexpr int32_t DefaultMaxCallDepth = 1000;
  // A step takes 5 to 15 ns, so the cap stops a runaway script after a few seconds; a real script
  // takes a few steps per item it makes, and the item cap comes first.
  static constexpr int64_t DefaultMaxSteps = 300000000;
  static constexpr uint32_t MaxItemTime = 2147483647;

  explicit TExpansion(TTimedBatch& batch, int64_t maxItems = DefaultMaxItems,
                      int32_t maxCallDepth = DefaultMaxCallDepth, int64_t maxSteps = DefaultMaxSteps);
  // Frees the items not handed over by Flush: an expansion that ended by an exception is thrown away.
  ~TExpansion();
  TExpansion(const TExpansion&) = delete;
  TExpansion& operator=(const TExpansion&) = delete;

  // ETooManyItems past the cap; ERangeError for a time above 2147483647, which the timeline cannot
  // hold (raised here rather than when the timeline's last time is taken, so that the action that made
  // it is known). Inline: it runs once per generated item. The items reach the batch in chunks, because
  // taking the batch's locks for each of millions of items costs more than making them.
  void Append(std::unique_ptr<TTimed> item) {
    if (ItemCount >= MaxItems) throw ETooManyItems(MaxItems);
    if (item->Time > MaxItemTime) throw ERangeError();
    if (Pending.size() == PendingChunk) Flush();
    Pending.push_back(item.release());  // never reallocates: reserved for a whole chunk
    ++ItemCount;
  }
  // One statement expanded or one loop pass; ETooMuchWork past the cap.
  void Step() {
    if (++StepCount > MaxSteps) throw ETooMuchWork(MaxSteps);
  }
  // Hands every pending item to the batch, in the order appended. Must be called before the batch is
  // read.
  void Flush();

  TTimedBatch& Batch;
  const int64_t MaxItems;
  const int32_t MaxCallDepth;
  const int64_t MaxSteps;
  int64_t ItemCount = 0;
  int64_t StepCount = 0;
  int32_t CallDepth = 0;

 private:
  static constexpr size_t PendingChunk = 4096;
  std::vector<TTimed*> Pending;  // owned until Flush
};

}  // namespace tambrel
