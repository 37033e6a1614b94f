#pragma once
// A MIDI output for the routing unit that accepts everything and sends nothing.

#include "app/output_routing.h"

namespace tambrel {

class TSilentOutputPort : public TOutputPort {
 public:
  void SetProductName(const std::string&) override {}
  bool Open() override { return true; }
  bool Close() override { return true; }
  TSendOutcome PutLong(const uint8_t*, uint16_t) override { return {.Sent = true, .Problem = {}}; }
  void ReleaseHeldNotes() override {}
};

}  // namespace tambrel
