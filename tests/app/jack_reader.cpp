#include "jack_reader.h"

#include <jack/midiport.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace tambrel {

// Bound for a wait that must not hang; generous, so that a loaded machine does not fail a test.
constexpr auto NoHang = std::chrono::seconds(10);

TJackReader::TJackReader(const std::string& server) : Records(MaxEvents), Bytes(MaxBytes) {
  jack_status_t status{};
  Client = jack_client_open("tambrel-reader", static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                            &status, server.c_str());
  if (Client == nullptr) throw std::runtime_error("the reader cannot join " + server);
  Rate = jack_get_sample_rate(Client);
  Port = jack_port_register(Client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  jack_set_process_callback(Client, &TJackReader::Process, this);
  jack_set_xrun_callback(Client, &TJackReader::Xrun, this);
  if (Port == nullptr || jack_activate(Client) != 0) throw std::runtime_error("the reader cannot start");
}

TJackReader::~TJackReader() {
  jack_client_close(Client);
}

std::vector<TJackReader::TEvent> TJackReader::Collect(size_t count, bool withoutSensing) {
  const auto deadline = std::chrono::steady_clock::now() + NoHang;
  std::vector<TEvent> events;
  for (size_t seen = 0;; std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
    for (const size_t now = Count.load(std::memory_order_acquire); seen < now; ++seen) {
      const TRecord& r = Records[seen];
      const auto from = Bytes.begin() + static_cast<std::ptrdiff_t>(r.At);
      if (!withoutSensing || r.Size != 1 || *from != 0xFE)
        events.push_back({{from, from + static_cast<std::ptrdiff_t>(r.Size)}, r.Period, r.Frame});
    }
    if (events.size() >= count || std::chrono::steady_clock::now() >= deadline) break;
  }
  if (Full.load(std::memory_order_acquire)) throw std::runtime_error("the reader's storage ran out");
  return events;
}

std::vector<std::vector<uint8_t>> TJackReader::CollectBytes(size_t count, bool withoutSensing) {
  std::vector<std::vector<uint8_t>> bytes;
  for (TEvent& e : Collect(count, withoutSensing)) bytes.push_back(std::move(e.Bytes));
  return bytes;
}

bool TJackReader::WaitUntilConnected(const std::function<void()>& sendSensing) {
  const size_t before = Count.load(std::memory_order_acquire);
  const auto deadline = std::chrono::steady_clock::now() + NoHang;
  while (std::chrono::steady_clock::now() < deadline) {
    sendSensing();
    for (int i = 0; i < 20; ++i) {
      if (Count.load(std::memory_order_acquire) != before) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  return false;
}

int TJackReader::Process(jack_nframes_t nframes, void* self) {
  auto* reader = static_cast<TJackReader*>(self);
  void* in = jack_port_get_buffer(reader->Port, nframes);
  const jack_nframes_t start = jack_last_frame_time(reader->Client);
  const uint32_t count = jack_midi_get_event_count(in);
  size_t n = reader->Count.load(std::memory_order_relaxed);
  for (uint32_t i = 0; i < count; ++i) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, in, i) != 0) continue;
    if (n == MaxEvents || reader->Used + event.size > MaxBytes) {
      reader->Full.store(true, std::memory_order_release);
      break;
    }
    std::memcpy(reader->Bytes.data() + reader->Used, event.buffer, event.size);
    reader->Records[n++] = {reader->Used, event.size, reader->Periods, start + event.time};
    reader->Used += event.size;
  }
  reader->Count.store(n, std::memory_order_release);
  ++reader->Periods;
  return 0;
}

int TJackReader::Xrun(void* self) {
  ++static_cast<TJackReader*>(self)->XrunCount;
  return 0;
}

}  // namespace tambrel
