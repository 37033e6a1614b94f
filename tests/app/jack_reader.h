#pragma once
// The receiving program of the MIDI tests and the timing benchmark: a JACK client of their own that
// keeps every event with the frame it came at. jack_midi_dump cannot serve there: its small ring drops
// events of a busy period, and what it has not printed yet is lost when it is stopped.
//
// Its process callback reads the sender's port buffer in place, and JACK starts the next period on time
// even when a client is not done with the last one: a reader still copying then finds the sender
// refilling that buffer and loses or mixes up events. So the callback takes no lock and allocates
// nothing; it copies into storage reserved (and touched) up front and publishes the count.

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tambrel {

class TJackReader {
 public:
  // Joins the server as client "tambrel-reader" with the input port "in"; throws std::runtime_error.
  explicit TJackReader(const std::string& server);
  ~TJackReader();
  static constexpr const char* InputPort = "tambrel-reader:in";
  static constexpr const char* Listed = "tambrel-reader:in (JACK)";  // as the port list names it

  struct TEvent {
    std::vector<uint8_t> Bytes;
    uint64_t Period;       // counted from the reader's first period
    jack_nframes_t Frame;  // the server's frame time of the event
  };
  // Waits (bounded) until count events came, then returns what came; active sensing (the probe of
  // WaitUntilConnected) is left out when asked.
  std::vector<TEvent> Collect(size_t count, bool withoutSensing = false);
  std::vector<std::vector<uint8_t>> CollectBytes(size_t count, bool withoutSensing = false);
  // A connection takes effect some periods after it was made: probe with active sensing through
  // sendSensing until one arrives.
  bool WaitUntilConnected(const std::function<void()>& sendSensing);
  // Periods the server reported as late (of any client): the likely reason when events are missing.
  int Xruns() const { return XrunCount.load(); }
  uint32_t SampleRate() const { return Rate; }

 private:
  static constexpr size_t MaxEvents = 1 << 16;
  static constexpr size_t MaxBytes = 1 << 20;
  struct TRecord {
    size_t At;
    size_t Size;
    uint64_t Period;
    jack_nframes_t Frame;
  };
  static int Process(jack_nframes_t nframes, void* self);
  static int Xrun(void* self);

  jack_client_t* Client = nullptr;
  jack_port_t* Port = nullptr;
  uint32_t Rate = 0;
  // Sized (and so zeroed and touched) before activation; written only by the process thread, read
  // up to Count by the others.
  std::vector<TRecord> Records;
  std::vector<uint8_t> Bytes;
  std::atomic<size_t> Count{0};
  std::atomic<bool> Full{false};
  std::atomic<int> XrunCount{0};
  size_t Used = 0;       // process thread only
  uint64_t Periods = 0;  // process thread only
};

}  // namespace tambrel
