// JACK MIDI: every open port is a client of its own with one MIDI output port, fed by a lock-free
// ring buffer. The sender stamps each message with the frame time of its send and never waits; the
// process callback writes it a constant latency later, at the frame it then falls on.

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

constexpr const char* VirtualName = "Tambrel";
// From a message's send to its frame at the receiver: two periods, so that a message stamped at the end
// of a period and queued after the next period's callback read the ring still lands at its distance.
constexpr jack_nframes_t LatencyPeriods = 2;
// A stamp further ahead than this many periods is taken as a clock that jumped: the message goes now.
constexpr jack_nframes_t FarPeriods = 16;
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

TMidiResult SystemError(const std::string& text) {
  return TMidiResult(MidiErrSystem, text);
}

class TJackPort : public TMessagePort {
 public:
  explicit TJackPort(TMidiDoneCallback done) : TMessagePort(std::move(done)) {}
  ~TJackPort() override { Close(); }

  // destination empty: the virtual port.
  TMidiResult Start(const std::string& server, const std::string& destination,
                    const std::string& clientName) {
    Destination = destination;
    Client = Connect(server, clientName.c_str());
    if (Client == nullptr) return MidiErrNoSystem;
    Ring = jack_ringbuffer_create(RingBytes);
    if (Ring == nullptr) return MidiErrNoMemory;
    jack_ringbuffer_mlock(Ring);
    Port = jack_port_register(Client, destination.empty() ? VirtualName : "out", JACK_DEFAULT_MIDI_TYPE,
                              JackPortIsOutput, 0);
    if (Port == nullptr) return SystemError("Cannot create a JACK MIDI output port");
    jack_set_process_callback(Client, &TJackPort::ProcessThunk, this);
    jack_on_info_shutdown(Client, &TJackPort::ShutdownThunk, this);
    if (jack_activate(Client) != 0) return SystemError("Cannot activate the JACK client");
    Active = true;
    if (!destination.empty() && jack_connect(Client, jack_port_name(Port), destination.c_str()) != 0)
      return SystemError("Cannot connect to JACK port '" + destination + "'");
    // The largest event a port buffer takes is known once a period has run.
    WaitForPeriods();
    return MidiErrNone;
  }

  size_t MaxMessageBytes() const override { return MaxEvent.load(std::memory_order_acquire); }

  // The destination that went away is looked for by its name and connected again when it is back. A
  // connection the user took away while the destination stayed is left as it is.
  TMidiReceiver Maintain() override {
    if (Destination.empty() || Client == nullptr || Gone.load(std::memory_order_acquire))
      return TMidiReceiver::Unchanged;
    const bool exists = jack_port_by_name(Client, Destination.c_str()) != nullptr;
    if (!exists) {
      if (Away) return TMidiReceiver::Unchanged;
      Away = true;
      return TMidiReceiver::Gone;
    }
    if (!Away) return TMidiReceiver::Unchanged;
    if (jack_port_connected_to(Port, Destination.c_str()) == 0 &&
        jack_connect(Client, jack_port_name(Port), Destination.c_str()) != 0)
      return TMidiReceiver::Unchanged;  // tried again at the next call
    WaitForPeriods();
    Away = false;
    return TMidiReceiver::Back;
  }

  // Nothing is pending in the sense of the interface: a buffer is complete once it is in the ring, and
  // what is in the ring has been sent as far as the caller knows (a note off just before a stop must
  // still reach the synthesizer), so it is not taken back.
  TMidiResult Reset() override { return MidiErrNone; }

  // What could not go out is reported, never dropped unseen: a lost note off is a stuck note.
  TMidiResult Close() override {
    std::lock_guard<std::mutex> lock(WriteLock);
    TMidiResult result;
    if (Client != nullptr) {
      // Let the periods carry out what was sent; a dead server carries nothing.
      const bool gone = Gone.load(std::memory_order_acquire);
      if (Active && !gone) WaitForDrain();
      if (Active && !gone) jack_deactivate(Client);  // a client its server dropped is only closed
      if (!gone) {
        if (jack_ringbuffer_read_space(Ring) != 0)
          result = SystemError(
              "The JACK server did not take all of the MIDI sent before the port was closed; the rest "
              "was not sent");
        else if (Dropped.load(std::memory_order_acquire) != 0)
          result = SystemError(
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
  // A new connection takes effect with the first period that starts after it was made: two periods on,
  // the first message goes where it should.
  void WaitForPeriods() {
    const uint32_t seen = Periods.load(std::memory_order_acquire);
    WaitUntil([this, seen] { return Periods.load(std::memory_order_acquire) - seen >= 2; });
  }

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
  TMidiResult Send(const std::vector<std::vector<uint8_t>>& messages) override {
    std::lock_guard<std::mutex> lock(WriteLock);
    if (Gone.load(std::memory_order_acquire)) return MidiErrPortGone;
    if (Client == nullptr) return MidiErrInvalidHandle;
    const size_t maxEvent = MaxEvent.load(std::memory_order_acquire);
    size_t total = 0;
    for (const auto& m : messages) {
      // It could never be written into a period's buffer and would be dropped there unseen. The text
      // names only the server's limit, so that it keeps one code whatever the message's length.
      if (maxEvent != 0 && m.size() > maxEvent)
        return SystemError("A MIDI message is longer than a JACK MIDI port buffer takes (" +
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
    const jack_nframes_t cycleStart = jack_last_frame_time(Client);
    const int64_t latency = static_cast<int64_t>(LatencyPeriods) * nframes;
    jack_nframes_t last = 0;
    bool wrote = false;
    TRecordHeader header{};
    while (jack_ringbuffer_read_space(Ring) >= sizeof header) {
      jack_ringbuffer_peek(Ring, reinterpret_cast<char*>(&header), sizeof header);
      if (jack_ringbuffer_read_space(Ring) < sizeof header + header.Size) break;
      const int64_t distance = static_cast<int32_t>(header.Frame - cycleStart) + latency;
      // Due in a later period (unless the stamp is far off).
      if (distance >= static_cast<int64_t>(nframes) && distance < FarPeriods * static_cast<int64_t>(nframes))
        break;
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
    port->Done(nullptr, TMidiResult(MidiErrPortGone,
                                    "The JACK server has shut down (" + why + "); the MIDI port was closed"));
  }

  std::mutex WriteLock;               // serialises writers and Close; never taken by the callbacks
  jack_client_t* Client = nullptr;    // set in Start, cleared in Close under WriteLock
  jack_port_t* Port = nullptr;        // fixed after Start
  jack_ringbuffer_t* Ring = nullptr;  // writer side under WriteLock, reader side the process thread
  bool Active = false;                // fixed after Start
  std::string Destination;            // fixed after Start; empty for the virtual port
  bool Away = false;                  // owning thread only: the destination has gone
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

  TMidiResult OpenPort(const std::string& address, const std::string& portName, TMidiDoneCallback done,
                       std::unique_ptr<TMidiOutPort>& port) override {
    return OpenTo(address, portName, std::move(done), port);
  }

  TMidiResult OpenVirtual(TMidiDoneCallback done, std::unique_ptr<TMidiOutPort>& port) override {
    return OpenTo("", VirtualName, std::move(done), port);
  }

 private:
  TMidiResult OpenTo(const std::string& destination, const std::string& clientName, TMidiDoneCallback done,
                     std::unique_ptr<TMidiOutPort>& port) {
    auto p = std::make_unique<TJackPort>(std::move(done));
    TMidiResult result = p->Start(Server, destination, clientName);
    if (!result.Ok()) return result;  // p's destructor closes what was opened
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
