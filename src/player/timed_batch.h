#pragma once
#include <cstdint>
#include <memory>

#include "player/timed.h"

namespace tambrel {

class TPlayer;

// A time-ordered list of items; all public operations are callable from any thread.
class TTimedBatch {
public:
    explicit TTimedBatch(TPlayer* Owner = nullptr);
    ~TTimedBatch();  // frees the items still in it, last to first
    int32_t Count() const;
    TTimed* Items(int32_t i) const;
    int32_t ReadIndex() const;
    void Append(TTimed* Item);  // no ordering (a Tambrel's own batch)
    void AddTimed(TTimed* Item);
    void RemoveTimed(TTimed* Item);
    void Clear();  // frees and removes every item, last to first
    void Rewind();
    void SeekBefore(uint32_t T);
    std::unique_ptr<TTimed> TakeNext();
    uint32_t LastTime() const;  // ERangeError for a time above 2147483647
    void Dump(int32_t Indent);
};

}  // namespace tambrel
