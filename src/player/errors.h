#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

namespace tambrel {

class ETambrel : public std::runtime_error {
 public:
  using runtime_error::runtime_error;
};

// "TTimedData index (%d) out of range [0..%d]"
class EIndexError : public ETambrel {
 public:
  EIndexError(int32_t index, int32_t last);
};

}  // namespace tambrel
