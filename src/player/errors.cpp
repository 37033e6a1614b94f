#include "player/errors.h"

#include "support/text_format.h"

namespace tambrel {

EIndexError::EIndexError(int32_t index, int32_t last)
    : ETambrel(StrFormat("TTimedData index (%d) out of range [0..%d]", index, last)) {}

}  // namespace tambrel
