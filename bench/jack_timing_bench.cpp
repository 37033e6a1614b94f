// Timing at the receiver: the player sends notes through a MIDI output into a JACK client that stamps
// each event with the server's frame time, on a private JACK server (dummy driver, 256-frame periods
// at 48 kHz). Prints the p99 and maximum error of the arrival against the script's times, after the
// constant latency (the median), on a quiet machine and with a busy loop on every core.
//
//   tambrel_jack_timing_bench [notes, default 2000]

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "jack_fixture.h"
#include "jack_reader.h"
#include "midi/midi_backend.h"
#include "midi/midi_output.h"
#include "player/player.h"

namespace tambrel {
namespace {

struct TError {
  double P99Ms, MaxMs;
};

struct TFigures {
  TError Script;  // against the script's times
  TError Send;    // against the instants the player sent them: what the MIDI path adds
  size_t Received;
};

// The spread of arrival - due around its median (the constant latency).
TError Spread(std::vector<double> distance) {
  std::vector<double> sorted = distance;
  std::sort(sorted.begin(), sorted.end());
  const double median = sorted[sorted.size() / 2];
  for (double& d : distance) d = std::abs(d - median);
  std::sort(distance.begin(), distance.end());
  return {distance[static_cast<size_t>(0.99 * static_cast<double>(distance.size() - 1))], distance.back()};
}

double NowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::vector<uint32_t> NoteTimes(size_t n) {
  std::mt19937 random(7);
  std::uniform_int_distribution<uint32_t> gap(1, 9);
  std::vector<uint32_t> times(n);
  uint32_t t = 0;
  for (uint32_t& time : times) {
    time = t;
    t += gap(random);
  }
  return times;
}

// Plays the notes through out and measures what reader received.
TFigures Measure(const std::vector<uint32_t>& times, TMidiOutput& out, TJackReader& reader) {
  const size_t before = reader.Collect(0).size();
  TTimedBatch tambrel;
  for (size_t i = 0; i < times.size(); ++i) {
    const uint8_t note[] = {0x90, static_cast<uint8_t>(i % 128), 100};
    tambrel.Append(new TTimedData(times[i], note, 3, 1));
  }
  tambrel.Append(new TEndMarker(times.back(), nullptr));
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  std::vector<double> sent;
  sent.reserve(times.size());
  TPlayer player;
  player.OnData = [&](TPlayer&, const TTimedData& item) {
    sent.push_back(NowMs());
    out.PutLong(item.Data(), static_cast<uint16_t>(item.Count()));
  };
  player.OnEnd = [&](TPlayer&, const TEndMarker&) {
    std::lock_guard<std::mutex> guard(mutex);
    done = true;
    ended.notify_all();
  };
  player.AddItems(&tambrel);
  player.Restart();
  player.SetEnabled(true);
  {
    std::unique_lock<std::mutex> lock(mutex);
    ended.wait(lock, [&] { return done; });
  }
  player.SetEnabled(false);
  player.OnData = nullptr;
  player.OnEnd = nullptr;
  player.RemoveItems(&tambrel);

  std::vector<TJackReader::TEvent> events = reader.Collect(before + times.size());
  events.erase(events.begin(), events.begin() + static_cast<std::ptrdiff_t>(before));
  const size_t n = std::min(events.size(), times.size());
  if (n == 0) return {{0, 0}, {0, 0}, 0};
  const double rate = reader.SampleRate();
  std::vector<double> toScript(n), toSend(n);  // ms from the due instant to the arrival
  for (size_t i = 0; i < n; ++i) {
    const double arrival =
        static_cast<double>(static_cast<int32_t>(events[i].Frame - events[0].Frame)) * 1000.0 / rate;
    toScript[i] = arrival - times[i];
    toSend[i] = arrival - (sent[i] - sent[0]);
  }
  return {Spread(toScript), Spread(toSend), n};
}

void Print(const char* label, const TFigures& f, size_t sent) {
  std::printf(
      "  %-24s %zu of %zu received; error ms vs script: p99 %6.3f max %6.3f; vs send: p99 %6.3f max %6.3f\n",
      label, f.Received, sent, f.Script.P99Ms, f.Script.MaxMs, f.Send.P99Ms, f.Send.MaxMs);
}

}  // namespace
}  // namespace tambrel

int main(int argc, char** argv) {
  using namespace tambrel;
  const size_t notes = argc > 1 ? static_cast<size_t>(std::atol(argv[1])) : 2000;
  TJackServer server;
  TJackReader reader(server.Name());
  std::vector<std::unique_ptr<TMidiBackend>> backends;
  backends.push_back(MakeJackBackend(server.Name()));
  auto service = MakeCombinedMidiService(std::move(backends));
  const std::vector<uint32_t> times = NoteTimes(std::max<size_t>(notes, 2));
  std::printf("JACK timing: %zu notes 1..9 ms apart (%.1f s) into a client stamping frame times, %u Hz\n",
              times.size(), times.back() / 1000.0, reader.SampleRate());
  {
    TMidiOutput out(*service);
    out.SetProductName(TJackReader::Listed);
    out.Open();
    Print("quiet machine", Measure(times, out, reader), times.size());
    std::atomic<bool> stop{false};
    std::vector<std::thread> busy;
    for (unsigned i = 0; i < std::max(1u, std::thread::hardware_concurrency()); ++i)
      busy.emplace_back([&stop] {
        volatile uint64_t spin = 0;
        while (!stop.load(std::memory_order_relaxed)) spin = spin + 1;
      });
    Print("busy loop on every core", Measure(times, out, reader), times.size());
    stop = true;
    for (std::thread& t : busy) t.join();
    out.Close();
  }
  std::printf("  target: maximum under 1 ms on a quiet machine; %d late periods reported\n", reader.Xruns());
  return 0;
}
