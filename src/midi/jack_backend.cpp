// JACK MIDI: every open port is a client of its own with one MIDI output port, fed by a lock-free
// ring buffer. The sender stamps each message with the frame time of its send and never waits; the
// process callback writes it at the matching offset of the following period.

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "midi/message_port.h"
#include "midi/midi_backend.h"

namespace tambrel {

namespace {

constexpr const char* ClientName = "Tambrel";
// Room for several of the longest long messages (65535 bytes) in flight between two periods.
constexpr size_t RingBytes = 1u << 19;
// How long opening waits for the first periods, and closing for a period to take from the ring.
constexpr std::chrono::milliseconds ProcessWait{1000};

// What the ring holds per message, followed by its bytes.
struct TRecordHeader {
  jack_nframes_t Frame;
  uint32_t Size;
};

// libjack writes every failed connection attempt to stderr; a missing server is normal here.
void QuietJackError(const char*) {}

void SilenceJackOnce() {
  static std::once_flag once;
  std::call_once(once, [] { jack_set_error_function(QuietJackError); });
}

jack_client_t* Connect(const std::string& server, const char* name) {
  SilenceJackOnce();
  jack_status_t status{};
  if (server.empty()) return jack_client_open(name, JackNoStartServer, &status);
  return jack_client_open(name, static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status,
                          server.c_str());
}

uint16_t Code(const std::string& text) {
  return TMidiErrorTexts::Global().CodeFor(text);
}

class TJackPort : public TMessagePort {
 public:
  explicit TJackPort(TMidiDoneCallback done) : TMessagePort(std::move(done)) {}
  ~TJackPort() override { Close(); }

  uint16_t Start(const std::string& server, const std::string& destination) {
    Client = Connect(server, ClientName);
    if (Client == nullptr) return MidiErrNoSystem;
    Ring = jack_ringbuffer_create(RingBytes);
    if (Ring == nullptr) return MidiErrNoMemory;
    jack_ringbuffer_mlock(Ring);
    Port = jack_port_register(Client, destination.empty() ? ClientName : "out", JACK_DEFAULT_MIDI_TYPE,
                              JackPortIsOutput, 0);
    if (Port == nullptr) return Code("Cannot create a JACK MIDI output port");
    jack_set_process_callback(Client, &TJackPort::ProcessThunk, this);
    jack_on_info_shutdown(Client, &TJackPort::ShutdownThunk, this);
    if (jack_activate(Client) != 0) return Code("Cannot activate the JACK client");
    Active = true;
    if (!destination.empty() && jack_connect(Client, jack_port_name(Port), destination.c_str()) != 0)
      return Code("Cannot connect to JACK port '" + destination + "'");
    // A new connection takes effect with the first period that starts after it was made, and the largest
    // event a port buffer takes is known once a period has run: wait for both, so that the first message
    // goes where it should and sends are checked against the limit.
    const uint32_t seen = Periods.load(std::memory_order_acquire);
    WaitUntil([this, seen] { return Periods.load(std::memory_order_acquire) - seen >= 2; });
    return MidiErrNone;
  }

  // Nothing is pending in the sense of the interface: a buffer is complete once it is in the ring, and
  // what is in the ring has been sent as far as the caller knows (a note off just before a stop must
  // still reach the synthesizer), so it is not taken back.
  uint16_t Reset() override { return MidiErrNone; }

  // What could not go out is reported, never dropped unseen: a lost note off is a stuck note.
  uint16_t Close() override {
    std::lock_guard<std::mutex> lock(WriteLock);
    uint16_t result = MidiErrNone;
    if (Client != nullptr) {
      // Let the periods carry out what was sent; a dead server carries nothing.
      if (Active) WaitForDrain();
      if (Active) jack_deactivate(Client);
      if (!Gone.load(std::memory_order_acquire)) {
        if (jack_ringbuffer_read_space(Ring) != 0)
          result = Code(
              "The JACK server did not take all of the MIDI sent before the port was closed; the rest "
              "was not sent");
        else if (Dropped.load(std::memory_order_acquire) != 0)
          result = Code(
              "A MIDI message was longer than the JACK MIDI port buffer took when it was due; it was "
              "not sent");
      }
      jack_client_close(Client);
      Client = nullptr;
    }
    if (Ring != nullptr) {
      jack_ringbuffer_free(Ring);
      Ring = nullptr;
    }
    return result;
  }

 private:
  // Waits a bounded time for the process thread; gives up at once when the server has gone.
  template <typename Condition>
  void WaitUntil(Condition ready) {
    const auto deadline = std::chrono::steady_clock::now() + ProcessWait;
    while (!ready() && !Gone.load(std::memory_order_acquire) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  // Waits for the ring to empty for as long as the process thread keeps taking from it: the bounded
  // wait starts again whenever less is left (a loaded server takes a burst over many slow periods).
  // Close holds the write lock meanwhile, so it ends.
  void WaitForDrain() {
    size_t left = jack_ringbuffer_read_space(Ring);
    auto deadline = std::chrono::steady_clock::now() + ProcessWait;
    while (left != 0 && !Gone.load(std::memory_order_acquire) &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      const size_t now = jack_ringbuffer_read_space(Ring);
      if (now < left) deadline = std::chrono::steady_clock::now() + ProcessWait;
      left = now;
    }
  }

  // Queues all messages of one call or none of them.
  uint16_t Send(const std::vector<std::vector<uint8_t>>& messages) override {
    std::lock_guard<std::mutex> lock(WriteLock);
    if (Gone.load(std::memory_order_acquire)) return MidiErrPortGone;
    if (Client == nullptr) return MidiErrInvalidHandle;
    const size_t maxEvent = MaxEvent.load(std::memory_order_acquire);
    size_t total = 0;
    for (const auto& m : messages) {
      // It could never be written into a period's buffer and would be dropped there unseen. The text
      // names only the server's limit, so that it keeps one code whatever the message's length.
      if (maxEvent != 0 && m.size() > maxEvent)
        return Code("A MIDI message is longer than a JACK MIDI port buffer takes (" +
                    std::to_string(maxEvent) + " bytes); it was not sent");
      total += sizeof(TRecordHeader) + m.size();
    }
    if (jack_ringbuffer_write_space(Ring) < total) return MidiErrBufferFull;
    // One write of the whole block, so that the reader sees a call's messages complete or not at all.
    std::vector<char> block(total);
    const jack_nframes_t now = jack_frame_time(Client);
    size_t at = 0;
    for (const auto& m : messages) {
      const TRecordHeader header{now, static_cast<uint32_t>(m.size())};
      std::memcpy(block.data() + at, &header, sizeof header);
      std::memcpy(block.data() + at + sizeof header, m.data(), m.size());
      at += sizeof header + m.size();
    }
    jack_ringbuffer_write(Ring, block.data(), block.size());
    return MidiErrNone;
  }

  static int ProcessThunk(jack_nframes_t nframes, void* self) {
    static_cast<TJackPort*>(self)->Process(nframes);
    return 0;
  }

  // Real-time thread: no locks, no allocation.
  void Process(jack_nframes_t nframes) {
    void* out = jack_port_get_buffer(Port, nframes);
    jack_midi_clear_buffer(out);
    MaxEvent.store(jack_midi_max_event_size(out), std::memory_order_release);
    // A message sent during the previous period lands at the same distance into this one.
    const jack_nframes_t windowStart = jack_last_frame_time(Client) - nframes;
    jack_nframes_t last = 0;
    bool wrote = false;
    TRecordHeader header{};
    while (jack_ringbuffer_read_space(Ring) >= sizeof header) {
      jack_ringbuffer_peek(Ring, reinterpret_cast<char*>(&header), sizeof header);
      if (jack_ringbuffer_read_space(Ring) < sizeof header + header.Size) break;
      const int64_t distance = static_cast<int32_t>(header.Frame - windowStart);
      // Sent during this period already: it belongs to the next one (unless the stamp is far off).
      if (distance >= static_cast<int64_t>(nframes) && distance < 8 * static_cast<int64_t>(nframes)) break;
      jack_nframes_t offset = static_cast<jack_nframes_t>(std::clamp<int64_t>(distance, 0, nframes - 1));
      offset = std::max(offset, last);
      jack_midi_data_t* room = jack_midi_event_reserve(out, offset, header.Size);
      if (room == nullptr) {
        if (wrote) break;  // the port buffer is full: the rest goes out next period
        // Larger than an empty port buffer takes: only possible when it was sent before a period told
        // the limit, or the server's period shrank after the send was checked. Close reports it.
        Dropped.fetch_add(1, std::memory_order_release);
        jack_ringbuffer_read_advance(Ring, sizeof header + header.Size);
        continue;
      }
      jack_ringbuffer_read_advance(Ring, sizeof header);
      jack_ringbuffer_read(Ring, reinterpret_cast<char*>(room), header.Size);
      last = offset;
      wrote = true;
    }
    Periods.fetch_add(1, std::memory_order_release);
  }

  static void ShutdownThunk(jack_status_t, const char* reason, void* self) {
    auto* port = static_cast<TJackPort*>(self);
    port->Gone.store(true, std::memory_order_release);
    const std::string why = (reason != nullptr && *reason != '\0') ? reason : "no reason given";
    port->Done(nullptr, Code("The JACK server has shut down (" + why + "); the MIDI port was closed"));
  }

  std::mutex WriteLock;               // serialises writers and Close; never taken by the callbacks
  jack_client_t* Client = nullptr;    // set in Start, cleared in Close under WriteLock
  jack_port_t* Port = nullptr;        // fixed after Start
  jack_ringbuffer_t* Ring = nullptr;  // writer side under WriteLock, reader side the process thread
  bool Active = false;                // fixed after Start
  std::atomic<bool> Gone{false};      // set by the shutdown callback
  std::atomic<size_t> MaxEvent{0};    // written by the process thread each period, 0 before the first
  std::atomic<uint32_t> Periods{0};   // counted by the process thread
  std::atomic<uint32_t> Dropped{0};   // messages the process thread could not write, ever
};

class TJackBackend : public TMidiBackend {
 public:
  explicit TJackBackend(std::string server) : Server(std::move(server)) {}
  ~TJackBackend() override {
    std::lock_guard<std::mutex> lock(Lock);
    Disconnect();
  }

  std::vector<TMidiDestination> ListPorts() override {
    std::lock_guard<std::mutex> lock(Lock);
    std::vector<TMidiDestination> list;
    if (!ConnectLocked()) return list;
    const char** names = jack_get_ports(Lister, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
    if (names == nullptr) return list;
    for (size_t i = 0; names[i] != nullptr; ++i)
      list.push_back({std::string(names[i]) + " (JACK)", names[i]});
    jack_free(names);
    return list;
  }

  bool Running() override {
    std::lock_guard<std::mutex> lock(Lock);
    return ConnectLocked();
  }

  uint16_t OpenPort(const std::string& address, TMidiDoneCallback done,
                    std::unique_ptr<TMidiOutPort>& port) override {
    return OpenTo(address, std::move(done), port);
  }

  uint16_t OpenVirtual(TMidiDoneCallback done, std::unique_ptr<TMidiOutPort>& port) override {
    return OpenTo("", std::move(done), port);
  }

 private:
  uint16_t OpenTo(const std::string& destination, TMidiDoneCallback done,
                  std::unique_ptr<TMidiOutPort>& port) {
    auto p = std::make_unique<TJackPort>(std::move(done));
    const uint16_t code = p->Start(Server, destination);
    if (code != MidiErrNone) return code;  // p's destructor closes what was opened
    port = std::move(p);
    return MidiErrNone;
  }

  // The listing client; a server that went away since is dropped and looked for again.
  bool ConnectLocked() {
    if (Lister != nullptr && ListerGone.load(std::memory_order_acquire)) Disconnect();
    if (Lister == nullptr) {
      ListerGone.store(false);
      Lister = Connect(Server, "Tambrel-ports");
      if (Lister != nullptr) {
        jack_on_shutdown(Lister, &TJackBackend::ListerShutdown, this);
        if (jack_activate(Lister) != 0) Disconnect();
      }
    }
    return Lister != nullptr;
  }

  void Disconnect() {
    if (Lister != nullptr) jack_client_close(Lister);
    Lister = nullptr;
  }

  static void ListerShutdown(void* self) { static_cast<TJackBackend*>(self)->ListerGone.store(true); }

  const std::string Server;
  std::mutex Lock;
  jack_client_t* Lister = nullptr;      // guarded by Lock
  std::atomic<bool> ListerGone{false};  // set by the listing client's shutdown callback
};

}  // namespace

std::unique_ptr<TMidiBackend> MakeJackBackend(const std::string& serverName) {
  return std::make_unique<TJackBackend>(serverName);
}

}  // namespace tambrel
