#pragma once
// What the window benchmarks measure with: output ports that note when each item reaches them, the
// window program's parts with those ports in place of the MIDI ports, and the window thread's heartbeat.
//
// A measured item carries its own time in its bytes, out(1, $90, (t / 128) mod 128, t mod 128), so that
// an item lost or merged on the way cannot shift the due times of the ones after it.

#include <QTimer>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/form_tambrel.h"
#include "app/output_routing.h"
#include "app/window_program_parts.h"
#include "delivery_lateness.h"
#include "resmon/form_resource_stats.h"
#include "slides/form_slide.h"

namespace tambrel::bench {

// The line of a measured item at time t.
inline std::string StampedItemLine(uint32_t t) {
  return std::to_string(t) + " out(1, $90, " + std::to_string((t >> 7) & 127) + ", " +
         std::to_string(t & 127) + ");\n";
}

// The same items as a loop of the script language, for long timelines that compile fast.
inline std::string StampedItemLoop(uint32_t count) {
  return "loop(t, 0, " + std::to_string(count - 1) +
         ");\n(\n  t out(1, $90, (t / 128) mod 128, t mod 128);\n);\n";
}

class TRecordingPort : public TOutputPort {
 public:
  static constexpr const char* Name = "Recorder";

  explicit TRecordingPort(size_t capacity) : Stamps(capacity), Codes(capacity) {}
  void SetProductName(const std::string&) override {}
  bool Open() override { return true; }
  bool Close() override { return true; }
  void ReleaseHeldNotes() override {}
  // Player thread. Items beyond the capacity are passed on unnoted.
  TSendOutcome PutLong(const uint8_t* data, uint16_t length) override {
    const size_t i = Count.load(std::memory_order_relaxed);
    if (i < Stamps.size()) {
      Stamps[i] = NowNs();
      Codes[i] = length >= 3 ? static_cast<uint16_t>((data[1] & 127) << 7 | (data[2] & 127)) : 0;
      Count.store(i + 1, std::memory_order_release);
    }
    return {true, {}};
  }

  size_t Received() const { return Count.load(std::memory_order_acquire); }

  // The lateness of the items due from dueFromNs to dueToNs (of the monotonic clock), in the order
  // received. An item is due at its time after the first item received, the item at time 0, which is
  // delivered as play starts and is not counted.
  std::vector<int64_t> Lateness(int64_t dueFromNs = INT64_MIN, int64_t dueToNs = INT64_MAX) const {
    const size_t received = Received();
    std::vector<int64_t> lateness;
    int64_t time = 0;
    for (size_t i = 1; i < received; ++i) {
      // The codes hold the time's low 14 bits; successive items are far less than 16 s apart.
      time += (Codes[i] - (time & 16383) + 16384) % 16384;
      const int64_t due = Stamps[0] + time * 1000000;
      if (due >= dueFromNs && due <= dueToNs) lateness.push_back(Stamps[i] - due);
    }
    return lateness;
  }

 private:
  std::vector<int64_t> Stamps;
  std::vector<uint16_t> Codes;
  std::atomic<size_t> Count{0};
};

// The window program's parts as the program builds them, with a recording port for every output (the
// list offers only the recorder, which every output selects), and the other windows.
class TRecordedWindowParts {
 public:
  TRecordedWindowParts(const std::string& folder, size_t capacity)
      : Program(folder + "tambrel.INI", folder + "dump.txt") {
    TFormTambrelParts& parts = Program.Parts;
    for (size_t i = 0; i < Ports.size(); ++i) {
      Ports[i] = std::make_unique<TRecordingPort>(i == 0 ? capacity : 0);
      parts.Controller.Ports[i] = Ports[i].get();
    }
    parts.Controller.DeviceNames = [] { return std::vector<std::string>{TRecordingPort::Name}; };
    parts.ResourceWindow = &Resources;
    parts.SlideWindow = &Slides;
  }

  TFormTambrelParts& Parts() { return Program.Parts; }
  // Output 1's port; the output handles device 1 once switched on.
  TRecordingPort& Recorder() { return *Ports[0]; }

 private:
  TWindowProgramParts Program;
  std::array<std::unique_ptr<TRecordingPort>, TOutputRouting::OutputCount> Ports;
  TFormResourceStats Resources;
  TFormSlide Slides;
};

// A 10 ms precise timer on the window thread: each beat notes how much later it came than 10 ms after
// the beat before.
class THeartbeat {
 public:
  static constexpr int IntervalMs = 10;

  explicit THeartbeat(QObject* parent) : Timer(new QTimer(parent)) {
    Timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(Timer, &QTimer::timeout, [this] {
      const int64_t now = NowNs();
      LatenessNs.push_back(now - LastNs - IntervalMs * 1000000LL);
      LastNs = now;
    });
    LastNs = NowNs();
    Timer->start(IntervalMs);
  }

  // The beats' lateness since the last call; the next series starts now.
  std::vector<int64_t> Take() {
    std::vector<int64_t> taken;
    taken.swap(LatenessNs);
    return taken;
  }

 private:
  QTimer* Timer;
  int64_t LastNs = 0;
  std::vector<int64_t> LatenessNs;
};

}  // namespace tambrel::bench
