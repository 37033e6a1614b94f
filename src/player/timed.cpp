#include "player/timed.h"

#include <algorithm>
#include <cstring>

#include "player/errors.h"
#include "support/checked_math.h"
#include "support/runtime_errors.h"
#include "support/text_format.h"

namespace tambrel {

TTimed::TTimed(uint32_t time) : Time(time) {}

TTimed::~TTimed() = default;

std::unique_ptr<TTimed> TTimed::Clone() const {
  return std::make_unique<TTimed>(Time);
}

void TTimed::Merge(const TTimed&) {}

std::string TTimed::Dump() const {
  return FormatPlayTime(Time);
}

TEndMarker::TEndMarker(uint32_t time, TTambrel* source) : TTimed(time), Source(source) {}

std::unique_ptr<TTimed> TEndMarker::Clone() const {
  return std::make_unique<TEndMarker>(Time, Source);
}

std::string TEndMarker::Dump() const {
  return FormatPlayTime(Time) + "  End marker";
}

TTimedData::TTimedData(uint32_t time, const uint8_t* bytes, int32_t count, int32_t device)
    : TTimed(time), Device(device) {
  if (count > MaxIndex + 1) throw ERangeError();
  if (count <= 0) {
    FCapacity = count;
    return;
  }
  SetCapacity(count);
  std::memcpy(Buffer(), bytes, static_cast<size_t>(count));
  FCount = count;
}

TTimedData::~TTimedData() {
  if (!IsInline()) delete[] FStore.Heap;
}

std::unique_ptr<TTimedData> TTimedData::CreateFromValues(uint32_t time, int32_t device, int32_t count,
                                                         const int32_t* values) {
  auto item = std::make_unique<TTimedData>(time, nullptr, 0, device);
  if (count > MaxIndex + 1) throw ERangeError();
  if (count <= 0) {
    item->FCapacity = count;
    return item;
  }
  item->SetCapacity(count);
  uint8_t* out = item->Buffer();
  for (int32_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(values[i] & 255);
  item->FCount = count;
  return item;
}

void TTimedData::CheckIndex(int32_t i) const {
  if (i < 0 || i >= FCount) throw EIndexError(i, FCount - 1);
}

uint8_t TTimedData::Bytes(int32_t i) const {
  CheckIndex(i);
  return Data()[i];
}

void TTimedData::SetBytes(int32_t i, uint8_t b) {
  CheckIndex(i);
  Buffer()[i] = b;
}

void TTimedData::AddByte(uint8_t b) {
  if (FCount > MaxIndex) throw ERangeError();
  if (FCount >= FCapacity) {
    // A negative capacity (from creation with a negative count) grows like an empty buffer.
    SetCapacity(FCapacity <= 0 ? 1 : CheckedMul(FCapacity, 2));
  }
  Buffer()[FCount] = b;
  ++FCount;
}

void TTimedData::SetCapacity(int32_t n) {
  if (n == FCapacity) return;
  const int32_t keep = std::clamp(std::min(n, FCapacity), 0, FCount);
  Store fresh{};
  if (n > InlineBytes) fresh.Heap = new uint8_t[static_cast<size_t>(n)];
  uint8_t* target = n > InlineBytes ? fresh.Heap : fresh.Inline;
  if (keep > 0) std::memcpy(target, Data(), static_cast<size_t>(keep));
  if (!IsInline()) delete[] FStore.Heap;
  FStore = fresh;
  FCapacity = n;
  FCount = keep;
}

std::unique_ptr<TTimed> TTimedData::Clone() const {
  return std::make_unique<TTimedData>(Time, Data(), FCount, Device);
}

void TTimedData::Merge(const TTimed& other) {
  const auto* data = dynamic_cast<const TTimedData*>(&other);
  if (data == nullptr) return;
  // Read through Data() each time: merging an item into itself reallocates the source.
  const int32_t n = data->FCount;
  for (int32_t i = 0; i < n; ++i) AddByte(data->Data()[i]);
}

std::string TTimedData::Dump() const {
  std::string text = FormatPlayTime(Time) + StrFormat("  %.5d", Device);
  const uint8_t* bytes = Data();
  for (int32_t i = 0; i < FCount; ++i) text += StrFormat(" %.2X", bytes[i]);
  return text;
}

}  // namespace tambrel
