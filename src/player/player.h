#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "player/timed.h"
#include "player/timed_batch.h"

namespace tambrel {

class TPlayer {
public:
    TPlayer();  // real monotonic clock and timer thread
    ~TPlayer();
    void SetEnabled(bool Value);
    bool Enabled() const;
    void SetRepeat(bool Value);
    bool Repeat() const;
    void Restart();
    void Step();
    void GotoTime(uint32_t Time);
    void Dump();
    void Trace(const std::string& Text);
    void Add(TTimed* Item);
    void Remove(TTimed* Item);
    void AddItems(const TTimedBatch* List);     // null ignored
    void RemoveItems(const TTimedBatch* List);  // null ignored
    int32_t ItemCount() const;
    // Assigned once before playing and cleared before destruction, from the window thread;
    // that ordering (not a lock) is what guards them.
    std::function<void(TPlayer& Sender, const TTimedData& Item)> OnData;
    std::function<void(TPlayer& Sender, const TEndMarker& Item)> OnEnd;
    std::function<void(TPlayer& Sender, const std::string& Text)> OnTrace;
};

}  // namespace tambrel
