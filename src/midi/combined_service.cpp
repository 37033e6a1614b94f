#include <mutex>
#include <utility>

#include "midi/midi_backend.h"

namespace tambrel {

namespace {

// The virtual port on several systems at once: each gets its own copy of every message.
class TFanOutPort : public TMidiOutPort {
 public:
  TFanOutPort(std::vector<std::unique_ptr<TMidiOutPort>> ports, TMidiDoneCallback done)
      : Ports(std::move(ports)), Done(std::move(done)) {}
  uint16_t ShortMsg(uint32_t packed) override {
    uint16_t first = MidiErrNone;
    for (auto& p : Ports) {
      const uint16_t code = p->ShortMsg(packed);
      if (first == MidiErrNone) first = code;
    }
    return first;
  }
  // Sent to every system; the first failure is reported, after the others had their copy.
  uint16_t LongMsg(std::unique_ptr<TMidiLongBuffer>& buffer) override {
    uint16_t first = MidiErrNone;
    for (auto& p : Ports) {
      auto copy = std::make_unique<TMidiLongBuffer>(*buffer);
      const uint16_t code = p->LongMsg(copy);
      if (first == MidiErrNone) first = code;
    }
    if (first == MidiErrNone) Done(std::move(buffer), MidiErrNone);
    return first;
  }
  uint16_t Reset() override { return Each(&TMidiOutPort::Reset); }
  uint16_t Close() override { return Each(&TMidiOutPort::Close); }

 private:
  uint16_t Each(uint16_t (TMidiOutPort::*call)()) {
    uint16_t first = MidiErrNone;
    for (auto& p : Ports) {
      const uint16_t code = ((*p).*call)();
      if (first == MidiErrNone) first = code;
    }
    return first;
  }
  std::vector<std::unique_ptr<TMidiOutPort>> Ports;
  TMidiDoneCallback Done;
};

class TCombinedMidiService : public TMidiOutService {
 public:
  explicit TCombinedMidiService(std::vector<std::unique_ptr<TMidiBackend>> backends)
      : Backends(std::move(backends)) {}

  uint32_t GetNumDevs() override {
    std::lock_guard<std::mutex> lock(Lock);
    RefreshLocked();
    return static_cast<uint32_t>(Entries.size());
  }

  uint16_t GetDevCaps(uint32_t id, TMidiOutCaps& caps) override {
    std::lock_guard<std::mutex> lock(Lock);
    if (!Listed) RefreshLocked();
    caps = TMidiOutCaps{};
    caps.DriverVersion = 0x0100;
    caps.ChannelMask = 0xFFFF;
    if (id == MidiMapperId) {
      caps.ProductName = MidiMapperName;
      caps.Technology = MidiTechMapper;
      return MidiErrNone;
    }
    if (id >= Entries.size()) return MidiErrBadDeviceId;
    caps.ProductName = Entries[id].Destination.ProductName;
    caps.Technology = MidiTechPort;
    return MidiErrNone;
  }

  uint16_t Open(uint32_t id, TMidiDoneCallback done, std::unique_ptr<TMidiOutPort>& port) override {
    std::lock_guard<std::mutex> lock(Lock);
    if (!Listed) RefreshLocked();
    if (id != MidiMapperId) {
      if (id >= Entries.size()) return MidiErrBadDeviceId;
      return Entries[id].Backend->OpenPort(Entries[id].Destination.Address, std::move(done), port);
    }
    std::vector<std::unique_ptr<TMidiOutPort>> opened;
    uint16_t failure = MidiErrNoSystem;
    // Each system's part completes nothing of its own: the fan-out completes the caller's buffer.
    for (auto& b : Backends) {
      if (!b->Running()) continue;
      std::unique_ptr<TMidiOutPort> p;
      const uint16_t code = b->OpenVirtual(FailuresOnly(done), p);
      if (code != MidiErrNone) {
        failure = code;
        continue;
      }
      opened.push_back(std::move(p));
    }
    if (opened.empty()) return failure;
    port = std::make_unique<TFanOutPort>(std::move(opened), std::move(done));
    return MidiErrNone;
  }

  bool GetErrorText(uint16_t code, std::string& text) override {
    return TMidiErrorTexts::Global().TextOf(code, text);
  }

 private:
  struct TEntry {
    TMidiBackend* Backend;
    TMidiDestination Destination;
  };

  static TMidiDoneCallback FailuresOnly(const TMidiDoneCallback& done) {
    return [done](std::unique_ptr<TMidiLongBuffer> buffer, uint16_t failure) {
      if (!buffer) done(nullptr, failure);
    };
  }

  void RefreshLocked() {
    Entries.clear();
    for (auto& b : Backends)
      for (TMidiDestination& d : b->ListPorts()) Entries.push_back(TEntry{b.get(), std::move(d)});
    Listed = true;
  }

  std::mutex Lock;
  std::vector<std::unique_ptr<TMidiBackend>> Backends;  // fixed after construction
  std::vector<TEntry> Entries;                          // guarded by Lock
  bool Listed = false;                                  // guarded by Lock
};

}  // namespace

std::unique_ptr<TMidiOutService> MakeCombinedMidiService(
    std::vector<std::unique_ptr<TMidiBackend>> backends) {
  return std::make_unique<TCombinedMidiService>(std::move(backends));
}

TMidiOutService& SystemMidiService() {
  static const std::unique_ptr<TMidiOutService> service = [] {
    std::vector<std::unique_ptr<TMidiBackend>> backends;
    backends.push_back(MakeAlsaBackend());
    backends.push_back(MakeJackBackend());
    return MakeCombinedMidiService(std::move(backends));
  }();
  return *service;
}

}  // namespace tambrel
