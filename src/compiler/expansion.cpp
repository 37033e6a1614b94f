#include "compiler/expansion.h"

#include <string>

namespace tambrel {

ETooManyItems::ETooManyItems(int64_t Cap)
    : std::length_error("Too many items: one compile may generate at most " + std::to_string(Cap) +
                        " timed items") {}

TExpansion::TExpansion(TTimedBatch& ABatch, int64_t AMaxItems, int32_t AMaxCallDepth)
    : Batch(ABatch), MaxItems(AMaxItems), MaxCallDepth(AMaxCallDepth) {
  Pending.reserve(PendingChunk);
}

TExpansion::~TExpansion() {
  for (TTimed* item : Pending) delete item;
}

void TExpansion::Flush() {
  Batch.AppendMany(Pending);
  Pending.clear();
}

}  // namespace tambrel
