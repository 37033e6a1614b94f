#include "player/errors.h"

#include "support/text_format.h"

namespace tambrel {

EIndexError::EIndexError(int32_t Index, int32_t Last)
    : ETambrel(StrFormat("TTimedData index (%d) out of range [0..%d]", Index, Last)) {}

}  // namespace tambrel
