// The ALSA sequencer: every open port is a sequencer client of its own with one output port, sending
// events directly (not queued), in non-blocking mode, as the pacing unit gives them.

#include <alsa/asoundlib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include "midi/message_port.h"
#include "midi/midi_backend.h"
#include "midi/sequencer_pacing.h"

namespace tambrel {

namespace {

constexpr const char* VirtualName = "Tambrel";
constexpr size_t EncoderBytes = 256;  // the longest event: a short message or a chunk of a block

// alsa-lib reports a missing /dev/snd/seq on stderr; a machine without the sequencer is normal here.
void QuietAlsaError(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsaOnce() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(QuietAlsaError); });
}

snd_seq_t* OpenSequencer() {
  SilenceAlsaOnce();
  snd_seq_t* seq = nullptr;
  if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0) return nullptr;
  return seq;
}

TMidiResult SystemError(const std::string& what, int err) {
  return TMidiResult(MidiErrSystem, what + ": " + snd_strerror(err));
}

int64_t SteadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// "client:port" of the port at addr, empty when there is none.
std::string PortNameAt(snd_seq_t* seq, const snd_seq_addr_t& addr) {
  snd_seq_client_info_t* client = nullptr;
  snd_seq_port_info_t* port = nullptr;
  snd_seq_client_info_alloca(&client);
  snd_seq_port_info_alloca(&port);
  if (snd_seq_get_any_client_info(seq, addr.client, client) < 0) return {};
  if (snd_seq_get_any_port_info(seq, addr.client, addr.port, port) < 0) return {};
  return std::string(snd_seq_client_info_get_name(client)) + ":" + snd_seq_port_info_get_name(port);
}

// The address of the writable port of that name, if one exists.
bool FindPortNamed(snd_seq_t* seq, const std::string& name, snd_seq_addr_t& found) {
  snd_seq_client_info_t* client = nullptr;
  snd_seq_port_info_t* port = nullptr;
  snd_seq_client_info_alloca(&client);
  snd_seq_port_info_alloca(&port);
  snd_seq_client_info_set_client(client, -1);
  while (snd_seq_query_next_client(seq, client) >= 0) {
    const int id = snd_seq_client_info_get_client(client);
    snd_seq_port_info_set_client(port, id);
    snd_seq_port_info_set_port(port, -1);
    while (snd_seq_query_next_port(seq, port) >= 0) {
      if (std::string(snd_seq_client_info_get_name(client)) + ":" + snd_seq_port_info_get_name(port) != name)
        continue;
      found.client = static_cast<unsigned char>(id);
      found.port = static_cast<unsigned char>(snd_seq_port_info_get_port(port));
      return true;
    }
  }
  return false;
}

// Sends the events the pacing gives: those due now on the caller's thread, the rest (and everything
// after them, to keep the order) on a sender thread of the port, never on the player's thread.
class TAlsaPort : public TMessagePort {
 public:
  explicit TAlsaPort(TMidiDoneCallback done) : TMessagePort(std::move(done)) {}
  ~TAlsaPort() override { Close(); }

  // address "client:port", or empty for the virtual port, the only one others may subscribe to.
  TMidiResult Start(const std::string& address, const std::string& portName) {
    Seq = OpenSequencer();
    if (Seq == nullptr) return MidiErrNoSystem;
    const bool isVirtual = address.empty();
    snd_seq_set_client_name(Seq, isVirtual ? VirtualName : portName.c_str());
    const unsigned caps = isVirtual ? SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ
                                    : SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_NO_EXPORT;
    PortId = snd_seq_create_simple_port(Seq, isVirtual ? VirtualName : portName.c_str(), caps,
                                        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (PortId < 0) return SystemError("Cannot create an ALSA sequencer port", PortId);
    if (int err = snd_midi_event_new(EncoderBytes, &Encoder); err < 0)
      return SystemError("Cannot create the ALSA MIDI event encoder", err);
    if (isVirtual) {
      Pacing = std::make_unique<TSequencerPacing>(false);
      return MidiErrNone;
    }
    if (int err = snd_seq_parse_address(Seq, &Dest, address.c_str()); err < 0)
      return SystemError("ALSA sequencer port '" + address + "'", err);
    if (int err = snd_seq_connect_to(Seq, PortId, Dest.client, Dest.port); err < 0)
      return SystemError("Cannot connect to ALSA sequencer port '" + address + "'", err);
    DestName = PortNameAt(Seq, Dest);
    snd_seq_client_info_t* info = nullptr;
    snd_seq_client_info_alloca(&info);
    const bool kernel = snd_seq_get_any_client_info(Seq, Dest.client, info) >= 0 &&
                        snd_seq_client_info_get_type(info) == SND_SEQ_KERNEL_CLIENT;
    Pacing = std::make_unique<TSequencerPacing>(kernel);
    if (kernel) Sender = std::thread([this] { SendLater(); });
    return MidiErrNone;
  }

  // The blocks still waiting for the wire are dropped; the short messages among them (the note-offs
  // of a release) still go.
  TMidiResult Reset() override {
    std::lock_guard<std::mutex> lock(Lock);
    Queue.erase(
        std::remove_if(Queue.begin(), Queue.end(), [](const TSequencerEvent& e) { return e.SysExChunk; }),
        Queue.end());
    if (Seq != nullptr) snd_seq_drop_output(Seq);
    return MidiErrNone;
  }

  TMidiResult Close() override {
    {
      std::lock_guard<std::mutex> lock(Lock);
      Stopping = true;
    }
    Wake.notify_all();
    if (Sender.joinable()) Sender.join();  // it sends what is queued first
    std::lock_guard<std::mutex> lock(Lock);
    if (Encoder != nullptr) snd_midi_event_free(Encoder);
    Encoder = nullptr;
    if (Seq != nullptr) snd_seq_close(Seq);
    Seq = nullptr;
    return MidiErrNone;
  }

  // The destination that went away is looked for by its name (its client number changes when the
  // program starts again) and connected to again.
  TMidiReceiver Maintain() override {
    std::lock_guard<std::mutex> lock(Lock);
    if (Seq == nullptr || DestName.empty()) return TMidiReceiver::Unchanged;
    if (!Away) {
      if (PortNameAt(Seq, Dest) == DestName) return TMidiReceiver::Unchanged;
      Away = true;
      return TMidiReceiver::Gone;
    }
    snd_seq_addr_t found{};
    if (!FindPortNamed(Seq, DestName, found) || snd_seq_connect_to(Seq, PortId, found.client, found.port) < 0)
      return TMidiReceiver::Unchanged;
    Dest = found;
    Away = false;
    return TMidiReceiver::Back;
  }

 private:
  TMidiResult Send(const std::vector<std::vector<uint8_t>>& messages) override {
    std::lock_guard<std::mutex> lock(Lock);
    if (Seq == nullptr) return MidiErrInvalidHandle;
    if (!Later.Ok()) return std::exchange(Later, TMidiResult());
    const int64_t now = SteadyNs();
    for (TSequencerEvent& event : Pacing->Encode(messages, now)) {
      if (Queue.empty() && event.SendAtNs <= now) {
        TMidiResult result = SendNow(event);
        if (!result.Ok()) return result;
      } else {
        Queue.push_back(std::move(event));
      }
    }
    if (!Queue.empty()) Wake.notify_all();
    return MidiErrNone;
  }

  // Caller holds Lock.
  TMidiResult SendNow(const TSequencerEvent& event) {
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    if (event.SysExChunk) {
      snd_seq_ev_set_sysex(&ev, static_cast<unsigned>(event.Bytes.size()),
                           const_cast<uint8_t*>(event.Bytes.data()));
    } else {
      snd_midi_event_reset_encode(Encoder);
      const long used =
          snd_midi_event_encode(Encoder, event.Bytes.data(), static_cast<long>(event.Bytes.size()), &ev);
      if (used < 0)
        return SystemError("Cannot encode a MIDI message for the ALSA sequencer", static_cast<int>(used));
      if (ev.type == SND_SEQ_EVENT_NONE) return MidiErrInvalidParam;
    }
    snd_seq_ev_set_source(&ev, PortId);
    snd_seq_ev_set_subs(&ev);
    snd_seq_ev_set_direct(&ev);
    const int err = snd_seq_event_output_direct(Seq, &ev);
    if (err == -EAGAIN) return MidiErrBufferFull;
    if (err < 0) return SystemError("Cannot send to the ALSA sequencer", err);
    return MidiErrNone;
  }

  // The sender thread: each queued event at its instant; a failure is reported by the next send.
  void SendLater() {
    std::unique_lock<std::mutex> lock(Lock);
    while (!(Stopping && Queue.empty())) {
      if (Queue.empty()) {
        Wake.wait(lock);
        continue;
      }
      const int64_t due = Stopping ? 0 : Queue.front().SendAtNs;
      if (due > SteadyNs()) {
        Wake.wait_until(lock, std::chrono::steady_clock::time_point(std::chrono::nanoseconds(due)));
        continue;
      }
      const TMidiResult result = SendNow(Queue.front());
      if (result.Code == MidiErrBufferFull) {
        Wake.wait_for(lock, std::chrono::milliseconds(1));
        continue;
      }
      if (!result.Ok() && Later.Ok()) Later = result;
      Queue.pop_front();
    }
  }

  std::mutex Lock;  // guards every field below but PortId, fixed after Start
  std::condition_variable Wake;
  snd_seq_t* Seq = nullptr;
  snd_midi_event_t* Encoder = nullptr;
  int PortId = -1;
  snd_seq_addr_t Dest{};
  std::string DestName;  // empty for the virtual port
  bool Away = false;
  std::unique_ptr<TSequencerPacing> Pacing;
  std::deque<TSequencerEvent> Queue;
  TMidiResult Later;  // a failure of the sender thread
  bool Stopping = false;
  std::thread Sender;  // only towards kernel destinations
};

class TAlsaBackend : public TMidiBackend {
 public:
  ~TAlsaBackend() override {
    if (Lister != nullptr) snd_seq_close(Lister);
  }

  std::vector<TMidiDestination> ListPorts() override {
    std::lock_guard<std::mutex> lock(Lock);
    std::vector<TMidiDestination> list;
    if (!ConnectLocked()) return list;
    const int self = snd_seq_client_id(Lister);
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(Lister, client) >= 0) {
      const int id = snd_seq_client_info_get_client(client);
      if (id == SND_SEQ_CLIENT_SYSTEM || id == self) continue;
      snd_seq_port_info_set_client(port, id);
      snd_seq_port_info_set_port(port, -1);
      while (snd_seq_query_next_port(Lister, port) >= 0) {
        const unsigned caps = snd_seq_port_info_get_capability(port);
        const unsigned wanted = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
        if ((caps & wanted) != wanted || (caps & SND_SEQ_PORT_CAP_NO_EXPORT) != 0) continue;
        const std::string name =
            std::string(snd_seq_client_info_get_name(client)) + ":" + snd_seq_port_info_get_name(port);
        list.push_back(
            {name + " (ALSA)", std::to_string(id) + ":" + std::to_string(snd_seq_port_info_get_port(port))});
      }
    }
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
  static TMidiResult OpenTo(const std::string& address, const std::string& portName, TMidiDoneCallback done,
                            std::unique_ptr<TMidiOutPort>& port) {
    auto p = std::make_unique<TAlsaPort>(std::move(done));
    TMidiResult result = p->Start(address, portName);
    if (!result.Ok()) return result;
    port = std::move(p);
    return MidiErrNone;
  }

  bool ConnectLocked() {
    if (Lister == nullptr) Lister = OpenSequencer();
    return Lister != nullptr;
  }

  std::mutex Lock;
  snd_seq_t* Lister = nullptr;  // guarded by Lock
};

}  // namespace

std::unique_ptr<TMidiBackend> MakeAlsaBackend() {
  return std::make_unique<TAlsaBackend>();
}

}  // namespace tambrel
