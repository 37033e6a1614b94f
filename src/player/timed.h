#pragma once
// The items of a timeline: a moment (TTimed, TTimedNop), the end of one Tambrel (TEndMarker) and bytes
// for one output device (TTimedData). Each Dump gives the item's one-line text.

#include <cstdint>
#include <memory>
#include <string>

namespace tambrel {

class TTambrel;  // the compiler's script root; only carried here

// Base of all items on the timeline.
class TTimed {
 public:
  explicit TTimed(uint32_t time);
  virtual ~TTimed();
  TTimed(const TTimed&) = delete;
  TTimed& operator=(const TTimed&) = delete;
  uint32_t Time;
  virtual std::unique_ptr<TTimed> Clone() const;  // a plain TTimed for TTimed and TTimedNop
  virtual void Merge(const TTimed& other);        // nothing for the base
  virtual std::string Dump() const;               // the one-line text
};

class TTimedNop : public TTimed {
 public:
  using TTimed::TTimed;
};

class TEndMarker : public TTimed {
 public:
  TEndMarker(uint32_t time, TTambrel* source);
  TTambrel* Source;
  std::unique_ptr<TTimed> Clone() const override;
  std::string Dump() const override;
};

// Bytes for one device. A loaded script holds millions of these, so the object stays at 32 bytes: up to
// InlineBytes bytes live inside it, longer data on the heap.
class TTimedData : public TTimed {
 public:
  // Indexes 0..MaxIndex are valid; an item never holds more than MaxIndex + 1 bytes.
  static constexpr int32_t MaxIndex = 32767;
  static constexpr int32_t InlineBytes = 8;

  // Copies count bytes; a count of 0 or less leaves the item empty with that Capacity.
  TTimedData(uint32_t time, const uint8_t* bytes, int32_t count, int32_t device);
  ~TTimedData() override;
  // Byte i is values[i] & 255.
  static std::unique_ptr<TTimedData> CreateFromValues(uint32_t time, int32_t device, int32_t count,
                                                      const int32_t* values);
  int32_t Device;
  int32_t Count() const { return FCount; }
  int32_t Capacity() const { return FCapacity; }
  const uint8_t* Data() const { return IsInline() ? FStore.Inline : FStore.Heap; }
  uint8_t Bytes(int32_t i) const;       // EIndexError outside [0..Count-1]
  void SetBytes(int32_t i, uint8_t b);  // EIndexError outside [0..Count-1]
  // Grows to 1, then doubles; ERangeError past MaxIndex, EIntOverflow when the capacity would wrap.
  void AddByte(uint8_t b);
  void SetCapacity(int32_t n);
  std::unique_ptr<TTimed> Clone() const override;
  void Merge(const TTimed& other) override;  // appends other's bytes when it is a TTimedData
  std::string Dump() const override;

 private:
  bool IsInline() const { return FCapacity <= InlineBytes; }
  uint8_t* Buffer() { return IsInline() ? FStore.Inline : FStore.Heap; }
  void CheckIndex(int32_t i) const;

  int32_t FCount = 0;
  int32_t FCapacity = 0;  // may be negative when created so; behaves as 0 then
  union Store {
    uint8_t Inline[InlineBytes];
    uint8_t* Heap;
  } FStore{};
};
static_assert(sizeof(TTimedData) <= 32, "a loaded script holds millions of data items");

}  // namespace tambrel
