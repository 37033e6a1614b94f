#include "resmon/resource_stats.h"

#include "resmon/stat_number.h"

namespace tambrel {

namespace {

constexpr std::array<const char*, kStatLabelCount> kLabelNames = {
    "LabelMemoryLoad",          "LabelTotalPhys",          "LabelAvailPhys",    "LabelTotalPageFile",
    "LabelAvailPageFile",       "LabelTotalVirtual",       "LabelAvailVirtual", "LabelAvailPhysChange",
    "LabelAvailPageFileChange", "LabelAvailVirtualChange", "LabelLostPhys",     "LabelLostPageFile",
    "LabelLostVirtual",
};

constexpr std::array<TStatLabel, 3> kChangeLabels = {
    TStatLabel::AvailPhysChange, TStatLabel::AvailPageFileChange, TStatLabel::AvailVirtualChange};
constexpr std::array<TStatLabel, 3> kLostLabels = {TStatLabel::LostPhys, TStatLabel::LostPageFile,
                                                   TStatLabel::LostVirtual};

}  // namespace

const char* StatLabelName(TStatLabel label) {
  return kLabelNames[static_cast<size_t>(label)];
}

TResourceStats::TResourceStats() {
  Texts.fill("+0");
}

void TResourceStats::Tick(const std::optional<TMemoryStatus>& reading) {
  if (!reading || reading->TotalPhys == 0) return;
  const TMemoryStatus& status = *reading;
  const std::array<uint64_t, 7> figures = {status.MemoryLoad,    status.TotalPhys,     status.AvailPhys,
                                           status.TotalPageFile, status.AvailPageFile, status.TotalVirtual,
                                           status.AvailVirtual};
  for (size_t i = 0; i < figures.size(); ++i) Texts[i] = FormatStatFigure(figures[i]);
  const std::array<uint64_t, 3> available = {status.AvailPhys, status.AvailPageFile, status.AvailVirtual};
  if (TakeBaseline) {
    TakeBaseline = false;
    Baseline = available;
    for (const TStatLabel label : kChangeLabels) TextOf(label).assign(1, '-');
  } else {
    for (size_t i = 0; i < 3; ++i) {
      if (available[i] != Previous[i])
        TextOf(kChangeLabels[i]) = FormatStatDifference(available[i], Previous[i]);
    }
  }
  for (size_t i = 0; i < 3; ++i) TextOf(kLostLabels[i]) = FormatStatDifference(Baseline[i], available[i]);
  Previous = available;
}

}  // namespace tambrel
