#include <mutex>
#include <utility>

#include "midi/midi_backend.h"
#include "midi/virtual_port.h"

namespace tambrel {

namespace {

class TCombinedMidiService : public TMidiOutService {
 public:
  explicit TCombinedMidiService(std::vector<std::unique_ptr<TMidiBackend>> backends)
      : Backends(std::move(backends)), Virtual(Backends) {}

  uint32_t GetNumDevs() override {
    std::lock_guard<std::mutex> lock(Lock);
    RefreshLocked();
    return static_cast<uint32_t>(Entries.size());
  }

  TMidiResult GetDevCaps(uint32_t id, TMidiOutCaps& caps) override {
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

  TMidiResult Open(uint32_t id, const std::string& portName, TMidiDoneCallback done,
                   std::unique_ptr<TMidiOutPort>& port) override {
    if (id == MidiMapperId) return Virtual.Open(std::move(done), port);
    TMidiBackend* backend = nullptr;
    std::string address;
    {
      std::lock_guard<std::mutex> lock(Lock);
      if (!Listed) RefreshLocked();
      if (id >= Entries.size()) return MidiErrBadDeviceId;
      backend = Entries[id].Backend;
      address = Entries[id].Destination.Address;
    }
    return backend->OpenPort(address, portName, std::move(done), port);
  }

 private:
  struct TEntry {
    TMidiBackend* Backend;
    TMidiDestination Destination;
  };

  void RefreshLocked() {
    Entries.clear();
    for (auto& b : Backends)
      for (TMidiDestination& d : b->ListPorts()) Entries.push_back(TEntry{b.get(), std::move(d)});
    Listed = true;
  }

  std::mutex Lock;
  const std::vector<std::unique_ptr<TMidiBackend>> Backends;  // fixed after construction
  TVirtualPortHub Virtual;                                    // goes before the backends
  std::vector<TEntry> Entries;                                // guarded by Lock
  bool Listed = false;                                        // guarded by Lock
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
