#pragma once
// The statistics window's figures and what it does once a second, without the window: the label texts,
// the baseline, the previous reading, and Reset.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "resmon/memory_status.h"

namespace tambrel {

// The labels in the order a tick writes them.
enum class TStatLabel {
  MemoryLoad,
  TotalPhys,
  AvailPhys,
  TotalPageFile,
  AvailPageFile,
  TotalVirtual,
  AvailVirtual,
  AvailPhysChange,
  AvailPageFileChange,
  AvailVirtualChange,
  LostPhys,
  LostPageFile,
  LostVirtual,
};
inline constexpr int kStatLabelCount = 13;

// The window's object name of a label ("LabelMemoryLoad", ...).
const char* StatLabelName(TStatLabel label);

class TResourceStats {
 public:
  // Every label reads "+0"; the first tick takes the baseline.
  TResourceStats();

  // The next tick takes a new baseline.
  void Reset() { TakeBaseline = true; }

  // Shows a reading: the seven figures, then either the baseline (the change labels show "-") or the
  // changes since the previous reading (an unchanged figure keeps its label), then baseline minus
  // current as "Lost". A missing reading, or one with no physical memory, changes nothing.
  void Tick(const std::optional<TMemoryStatus>& reading);

  const std::string& Text(TStatLabel label) const { return Texts[static_cast<size_t>(label)]; }

 private:
  std::string& TextOf(TStatLabel label) { return Texts[static_cast<size_t>(label)]; }

  std::array<std::string, kStatLabelCount> Texts;
  bool TakeBaseline = true;
  std::array<uint64_t, 3> Previous{};  // available physical, page file, virtual
  std::array<uint64_t, 3> Baseline{};
};

}  // namespace tambrel
