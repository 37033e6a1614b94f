#include "player/timed_batch.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "player/player.h"
#include "support/checked_math.h"
#include "support/runtime_errors.h"
#include "support/text_format.h"

namespace tambrel {

namespace {

constexpr int32_t NoDevice = 65535;

int32_t DeviceOf(const TTimed& item) {
  const auto* data = dynamic_cast<const TTimedData*>(&item);
  return data != nullptr ? data->Device : NoDevice;
}

bool EarlierThan(const TTimed* a, const TTimed* b) {
  return a->Time < b->Time;
}

int64_t MicrosSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace

TTimedBatch::TTimedBatch(TPlayer* owner, TItemOwnership ownership) : Owner(owner), FOwnership(ownership) {}

TTimedBatch::~TTimedBatch() {
  Clear();
}

int32_t TTimedBatch::Count() const {
  return FCount.load(std::memory_order_acquire);
}

TTimed* TTimedBatch::Items(int32_t i) const {
  std::lock_guard<std::mutex> guard(FLock);
  if (i < 0 || i >= static_cast<int32_t>(FItems.size()))
    throw std::out_of_range(StrFormat("List index out of bounds (%d)", i));
  return FItems[static_cast<size_t>(i)];
}

int32_t TTimedBatch::ReadIndex() const {
  return FReadIndex.load(std::memory_order_relaxed);
}

void TTimedBatch::Append(TTimed* item) {
  std::lock_guard<std::mutex> writer(FWriteLock);
  std::lock_guard<std::mutex> guard(FLock);
  if (!FItems.empty() && item->Time < FItems.back()->Time) FSorted = false;
  FItems.push_back(item);
  PublishCount();
}

void TTimedBatch::AppendMany(const std::vector<TTimed*>& items) {
  if (items.empty()) return;
  std::lock_guard<std::mutex> writer(FWriteLock);
  std::lock_guard<std::mutex> guard(FLock);
  FItems.insert(FItems.end(), items.begin(), items.end());
  const size_t first = FItems.size() - items.size();
  for (size_t i = std::max<size_t>(first, 1); i < FItems.size() && FSorted; ++i)
    if (FItems[i]->Time < FItems[i - 1]->Time) FSorted = false;
  PublishCount();
}

void TTimedBatch::AddTimed(TTimed* item) {
  std::lock_guard<std::mutex> writer(FWriteLock);
  std::lock_guard<std::mutex> guard(FLock);
  // From the end: adding in ascending order costs one comparison.
  size_t at = FItems.size();
  while (at > 0 && FItems[at - 1]->Time > item->Time) --at;
  FItems.insert(FItems.begin() + static_cast<std::ptrdiff_t>(at), item);
  if (static_cast<int32_t>(at) < ReadIndex()) SetReadIndex(ReadIndex() + 1);
  PublishCount();
}

void TTimedBatch::RemoveTimed(TTimed* item) {
  std::lock_guard<std::mutex> writer(FWriteLock);
  std::lock_guard<std::mutex> guard(FLock);
  auto found = std::find(FItems.begin(), FItems.end(), item);
  if (found != FItems.end()) {
    const auto at = static_cast<int32_t>(found - FItems.begin());
    FItems.erase(found);
    if (at < ReadIndex()) SetReadIndex(ReadIndex() - 1);
  }
  if (ReadIndex() > static_cast<int32_t>(FItems.size())) SetReadIndex(static_cast<int32_t>(FItems.size()));
  PublishCount();
}

void TTimedBatch::NoteBulkHold(int64_t heldUs) {
  int64_t longest = FLongestBulkLockUs.load(std::memory_order_relaxed);
  while (heldUs > longest && !FLongestBulkLockUs.compare_exchange_weak(longest, heldUs)) {
  }
}

void TTimedBatch::AddTimedMany(const std::vector<TTimed*>& items) {
  if (items.empty()) return;
  std::unique_lock<std::mutex> writer(FWriteLock);
  if (!FSorted) {
    // Insertion from the end into a list out of order has no faster equivalent.
    writer.unlock();
    for (TTimed* item : items) AddTimed(item);
    return;
  }
  // A stable sort keeps equal times in the order given, and merge puts the items already present
  // first among equal times: exactly the order of adding one by one.
  std::vector<TTimed*> added(items);
  std::stable_sort(added.begin(), added.end(), EarlierThan);
  std::vector<TTimed*> merged;
  merged.reserve(FItems.size() + added.size());
  std::merge(FItems.begin(), FItems.end(), added.begin(), added.end(), std::back_inserter(merged),
             EarlierThan);
  // FItems cannot change here (writers hold FWriteLock), but the timer thread may still move the read
  // position, so it is read and moved under FLock. Each added item earlier than the item last taken
  // lands below the read position and moves it up by one.
  const auto start = std::chrono::steady_clock::now();
  {
    std::lock_guard<std::mutex> guard(FLock);
    const int32_t read = ReadIndex();
    int32_t fresh = read;
    if (read > 0 && read <= static_cast<int32_t>(FItems.size())) {
      const TTimed* taken = FItems[static_cast<size_t>(read - 1)];
      TTimed probe(taken->Time);
      fresh += static_cast<int32_t>(std::lower_bound(added.begin(), added.end(), &probe, EarlierThan) -
                                    added.begin());
    }
    FItems.swap(merged);
    SetReadIndex(fresh);
    PublishCount();
  }
  NoteBulkHold(MicrosSince(start));
  writer.unlock();
  // The old list is freed here, outside both locks (merged now holds it).
}

void TTimedBatch::RemoveTimedMany(const std::vector<TTimed*>& items) {
  if (items.empty()) return;
  std::unique_lock<std::mutex> writer(FWriteLock);
  std::unordered_map<const TTimed*, int32_t> pending;
  pending.reserve(items.size());
  for (const TTimed* item : items) ++pending[item];
  std::vector<TTimed*> kept;
  kept.reserve(FItems.size());
  // Removing one at a time takes the first reference each time.
  std::vector<size_t> removedAt;
  for (size_t i = 0; i < FItems.size(); ++i) {
    auto found = pending.find(FItems[i]);
    if (found != pending.end() && found->second > 0) {
      --found->second;
      removedAt.push_back(i);
    } else {
      kept.push_back(FItems[i]);
    }
  }
  const auto start = std::chrono::steady_clock::now();
  {
    std::lock_guard<std::mutex> guard(FLock);
    const int32_t read = ReadIndex();
    // One at a time, the read position drops by one for each removal below it, and once nothing is
    // left at or after it, it stays at the end.
    const auto below = static_cast<int32_t>(
        std::lower_bound(removedAt.begin(), removedAt.end(), static_cast<size_t>(std::max(read, 0))) -
        removedAt.begin());
    const int32_t fresh = std::min(read - below, static_cast<int32_t>(kept.size()));
    FItems.swap(kept);
    SetReadIndex(fresh);
    PublishCount();
  }
  NoteBulkHold(MicrosSince(start));
}

std::vector<TTimed*> TTimedBatch::Snapshot() const {
  std::lock_guard<std::mutex> guard(FLock);
  return FItems;
}

void TTimedBatch::Clear() {
  std::vector<TTimed*> items;
  {
    std::lock_guard<std::mutex> writer(FWriteLock);
    std::lock_guard<std::mutex> guard(FLock);
    items.swap(FItems);
    SetReadIndex(0);
    FSorted = true;
    PublishCount();
  }
  if (FOwnership == TItemOwnership::Borrows) return;
  for (auto it = items.rbegin(); it != items.rend(); ++it) delete *it;
}

void TTimedBatch::Rewind() {
  SetReadIndex(0);
}

void TTimedBatch::SeekBefore(uint32_t t) {
  std::lock_guard<std::mutex> guard(FLock);
  for (size_t i = FItems.size(); i > 0; --i) {
    if (FItems[i - 1]->Time < t) {
      SetReadIndex(static_cast<int32_t>(i - 1));
      return;
    }
  }
}

std::unique_ptr<TTimed> TTimedBatch::TakeNext() {
  if (ReadIndex() >= Count()) return nullptr;
  std::lock_guard<std::mutex> guard(FLock);
  // Checked again: a removal may have shortened the list since the lock-free check.
  int32_t read = ReadIndex();
  const auto count = static_cast<int32_t>(FItems.size());
  if (read < 0 || read >= count) return nullptr;
  const TTimed& first = *FItems[static_cast<size_t>(read)];
  const uint32_t time = first.Time;
  const int32_t device = DeviceOf(first);
  std::unique_ptr<TTimed> result = first.Clone();
  const auto* firstData = dynamic_cast<const TTimedData*>(&first);
  int32_t merged = firstData != nullptr ? firstData->Count() : 0;
  for (++read; read < count; ++read) {
    const TTimed& next = *FItems[static_cast<size_t>(read)];
    if (next.Time != time) break;
    const auto* data = dynamic_cast<const TTimedData*>(&next);
    if (data == nullptr || data->Device != device) break;
    // What does not fit into one item is the next item of the same time, taken whole.
    if (data->Count() > TTimedData::MaxIndex + 1 - merged) break;
    merged += data->Count();
    result->Merge(next);
  }
  SetReadIndex(read);
  return result;
}

uint32_t TTimedBatch::LastTime() const {
  std::lock_guard<std::mutex> guard(FLock);
  uint32_t last = 0;
  for (const TTimed* item : FItems) {
    if (item->Time > 2147483647u) throw ERangeError();
    last = std::max(last, item->Time);
  }
  return last;
}

void TTimedBatch::Dump(int32_t indent) {
  const std::string outer = IndentText(indent);
  const std::string inner = IndentText(CheckedAdd(indent, 1));
  std::vector<std::string> lines{StrFormat("%s%s", outer.c_str(), "TimedBatch"), outer + "Begin"};
  {
    std::lock_guard<std::mutex> guard(FLock);
    lines.reserve(FItems.size() + 3);
    for (const TTimed* item : FItems) lines.push_back(inner + item->Dump());
  }
  lines.push_back(outer + "End");
  // Outside the lock: the trace callback may use the batch.
  if (Owner != nullptr)
    for (const std::string& line : lines) Owner->Trace(line);
}

}  // namespace tambrel
