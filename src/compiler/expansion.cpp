#include "compiler/expansion.h"

#include <string>

namespace tambrel {

ETooManyItems::ETooManyItems(int64_t cap)
    : std::length_error("Too many items: one compile may generate at most " + std::to_string(cap) +
                        " timed items") {}

ETooMuchWork::ETooMuchWork(int64_t cap)
    : std::length_error("Too much work: one compile may expand at most " + std::to_string(cap) +
                        " statements and loop passes") {}

TExpansion::TExpansion(TTimedBatch& batch, int64_t maxItems, int32_t maxCallDepth, int64_t maxSteps)
    : Batch(batch), MaxItems(maxItems), MaxCallDepth(maxCallDepth), MaxSteps(maxSteps) {
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
