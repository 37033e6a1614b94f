#include "compiler/expansion.h"

#include <string>

namespace tambrel {

ETooManyItems::ETooManyItems(int64_t cap)
    : std::length_error("Too many items: one compile may generate at most " + std::to_string(cap) +
                        " timed items") {}

TExpansion::TExpansion(TTimedBatch& batch, int64_t maxItems, int32_t maxCallDepth)
    : Batch(batch), MaxItems(maxItems), MaxCallDepth(maxCallDepth) {
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
