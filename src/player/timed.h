#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace tambrel {

class TTambrel;  // the compiler's script root; only carried here

// Base of all items on the timeline.
class TTimed {
public:
    explicit TTimed(uint32_t Time);
    virtual ~TTimed();
    uint32_t Time;
    virtual std::unique_ptr<TTimed> Clone() const;
    virtual void Merge(const TTimed& Other);
    virtual std::string Dump() const;  // the one-line text
};

class TTimedNop : public TTimed {
public:
    using TTimed::TTimed;
};

class TEndMarker : public TTimed {
public:
    TEndMarker(uint32_t Time, TTambrel* Source);
    TTambrel* Source;
    std::unique_ptr<TTimed> Clone() const override;
    std::string Dump() const override;
};

class TTimedData : public TTimed {
public:
    TTimedData(uint32_t Time, const uint8_t* Bytes, int32_t Count, int32_t Device);
    static std::unique_ptr<TTimedData> CreateFromValues(uint32_t Time, int32_t Device, int32_t Count,
                                                        const int32_t* Values);
    int32_t Device;
    int32_t Count() const;
    int32_t Capacity() const;
    const uint8_t* Data() const;
    uint8_t Bytes(int32_t i) const;  // EIndexError outside [0..Count-1]
    void SetBytes(int32_t i, uint8_t b);
    void AddByte(uint8_t b);
    void SetCapacity(int32_t n);
    std::unique_ptr<TTimed> Clone() const override;
    void Merge(const TTimed& Other) override;
    std::string Dump() const override;
};

}  // namespace tambrel
