// The ALSA sequencer: every open port is a sequencer client of its own with one output port, sending
// each message as one event directly (not queued), in non-blocking mode.

#include <alsa/asoundlib.h>

#include <cstdarg>
#include <mutex>
#include <utility>

#include "midi/message_port.h"
#include "midi/midi_backend.h"

namespace tambrel {

namespace {

constexpr const char* ClientName = "Tambrel";
// The encoder's buffer must hold the longest system exclusive message a long buffer can carry.
constexpr size_t EncoderBytes = 65536;

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

uint16_t Code(const std::string& what, int err) {
  return TMidiErrorTexts::Global().CodeFor(what + ": " + snd_strerror(err));
}

class TAlsaPort : public TMessagePort {
 public:
  explicit TAlsaPort(TMidiDoneCallback done) : TMessagePort(std::move(done)) {}
  ~TAlsaPort() override { Close(); }

  // address "client:port", or empty for the virtual port.
  uint16_t Start(const std::string& address) {
    Seq = OpenSequencer();
    if (Seq == nullptr) return MidiErrNoSystem;
    snd_seq_set_client_name(Seq, ClientName);
    snd_seq_set_output_buffer_size(Seq, EncoderBytes + 4096);
    const unsigned caps = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
    PortId = snd_seq_create_simple_port(Seq, ClientName, caps,
                                        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (PortId < 0) return Code("Cannot create an ALSA sequencer port", PortId);
    if (int err = snd_midi_event_new(EncoderBytes, &Encoder); err < 0)
      return Code("Cannot create the ALSA MIDI event encoder", err);
    if (!address.empty()) {
      snd_seq_addr_t dest{};
      if (int err = snd_seq_parse_address(Seq, &dest, address.c_str()); err < 0)
        return Code("ALSA sequencer port '" + address + "'", err);
      if (int err = snd_seq_connect_to(Seq, PortId, dest.client, dest.port); err < 0)
        return Code("Cannot connect to ALSA sequencer port '" + address + "'", err);
    }
    return MidiErrNone;
  }

  uint16_t Reset() override {
    std::lock_guard<std::mutex> lock(Lock);
    if (Seq != nullptr) snd_seq_drop_output(Seq);
    return MidiErrNone;
  }

  uint16_t Close() override {
    std::lock_guard<std::mutex> lock(Lock);
    if (Encoder != nullptr) snd_midi_event_free(Encoder);
    Encoder = nullptr;
    if (Seq != nullptr) snd_seq_close(Seq);
    Seq = nullptr;
    return MidiErrNone;
  }

 private:
  uint16_t Send(const std::vector<std::vector<uint8_t>>& messages) override {
    std::lock_guard<std::mutex> lock(Lock);
    if (Seq == nullptr) return MidiErrInvalidHandle;
    for (const auto& m : messages) {
      snd_seq_event_t ev;
      snd_seq_ev_clear(&ev);
      snd_midi_event_reset_encode(Encoder);
      const long used = snd_midi_event_encode(Encoder, m.data(), static_cast<long>(m.size()), &ev);
      if (used < 0)
        return Code("Cannot encode a MIDI message for the ALSA sequencer", static_cast<int>(used));
      if (ev.type == SND_SEQ_EVENT_NONE) return MidiErrInvalidParam;
      snd_seq_ev_set_source(&ev, PortId);
      snd_seq_ev_set_subs(&ev);
      snd_seq_ev_set_direct(&ev);
      const int err = snd_seq_event_output_direct(Seq, &ev);
      if (err == -EAGAIN) return MidiErrBufferFull;
      if (err < 0) return Code("Cannot send to the ALSA sequencer", err);
    }
    return MidiErrNone;
  }

  std::mutex Lock;  // guards Seq and Encoder
  snd_seq_t* Seq = nullptr;
  snd_midi_event_t* Encoder = nullptr;
  int PortId = -1;  // fixed after Start
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

  uint16_t OpenPort(const std::string& address, TMidiDoneCallback done,
                    std::unique_ptr<TMidiOutPort>& port) override {
    return OpenTo(address, std::move(done), port);
  }
  uint16_t OpenVirtual(TMidiDoneCallback done, std::unique_ptr<TMidiOutPort>& port) override {
    return OpenTo("", std::move(done), port);
  }

 private:
  static uint16_t OpenTo(const std::string& address, TMidiDoneCallback done,
                         std::unique_ptr<TMidiOutPort>& port) {
    auto p = std::make_unique<TAlsaPort>(std::move(done));
    const uint16_t code = p->Start(address);
    if (code != MidiErrNone) return code;
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
