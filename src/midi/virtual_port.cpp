#include "midi/virtual_port.h"

#include <algorithm>
#include <atomic>
#include <utility>

namespace tambrel {

struct TVirtualPortHub::TSystemPort {
  TMidiBackend* Backend = nullptr;
  std::unique_ptr<TMidiOutPort> Port;  // null until opened
  std::atomic<bool> Dead{false};       // its system went away: opened again by the next Open
};

class TVirtualPortHub::THandle : public TMidiOutPort {
 public:
  THandle(TVirtualPortHub& hub, TMidiDoneCallback done) : Hub(hub), Done(std::move(done)) {}
  TMidiResult ShortMsg(uint32_t packed) override {
    std::unique_ptr<TMidiLongBuffer> none;
    return Hub.SendToAll(none, packed, true);
  }
  TMidiResult LongMsg(std::unique_ptr<TMidiLongBuffer>& buffer) override {
    TMidiResult result = Hub.SendToAll(buffer, 0, false);
    if (result.Ok()) Done(std::move(buffer), MidiErrNone);
    return result;
  }
  size_t MaxMessageBytes() const override { return Hub.MaxMessageBytes(); }
  TMidiResult Reset() override { return MidiErrNone; }
  TMidiResult Close() override {
    if (!Closed) Hub.Detach(this);
    Closed = true;
    return MidiErrNone;
  }
  ~THandle() override { Close(); }
  void Failed(const TMidiResult& failure) { Done(nullptr, failure); }

 private:
  TVirtualPortHub& Hub;
  const TMidiDoneCallback Done;
  bool Closed = false;  // owning thread only
};

TVirtualPortHub::TVirtualPortHub(const std::vector<std::unique_ptr<TMidiBackend>>& backends)
    : Backends(backends) {
  for (const auto& backend : Backends) {
    Ports.push_back(std::make_unique<TSystemPort>());
    Ports.back()->Backend = backend.get();
  }
}

TVirtualPortHub::~TVirtualPortHub() {
  std::lock_guard<std::mutex> lock(Lock);
  for (auto& p : Ports)
    if (p->Port) p->Port->Close();
}

// Caller holds Lock. A port whose system went away is closed as soon as the owning thread comes by:
// libjack fails when a client its server dropped outlives the next clients opened and closed.
void TVirtualPortHub::CloseDeadLocked() {
  for (auto& p : Ports) {
    if (!p->Port || !p->Dead.load()) continue;
    p->Port->Close();
    p->Port.reset();
    p->Dead.store(false);
  }
}

TMidiResult TVirtualPortHub::Open(TMidiDoneCallback done, std::unique_ptr<TMidiOutPort>& handle) {
  std::lock_guard<std::mutex> lock(Lock);
  TMidiResult failure = MidiErrNoSystem;
  bool any = false;
  CloseDeadLocked();
  for (auto& p : Ports) {
    if (!p->Port && p->Backend->Running()) {
      TSystemPort* raw = p.get();
      TMidiDoneCallback failures = [this, raw](std::unique_ptr<TMidiLongBuffer> buffer, TMidiResult result) {
        if (!buffer) PortDied(raw, result);
      };
      const TMidiResult opened = p->Backend->OpenVirtual(std::move(failures), p->Port);
      if (!opened.Ok()) failure = opened;
    }
    any = any || p->Port != nullptr;
  }
  if (!any) return failure;
  auto h = std::make_unique<THandle>(*this, std::move(done));
  {
    std::lock_guard<std::mutex> handles(HandlesLock);
    Handles.push_back(h.get());
  }
  handle = std::move(h);
  return MidiErrNone;
}

// Each system gets its own copy; the first failure is reported, after the others had theirs.
TMidiResult TVirtualPortHub::SendToAll(std::unique_ptr<TMidiLongBuffer>& buffer, uint32_t packed,
                                       bool isShort) {
  std::lock_guard<std::mutex> lock(Lock);
  TMidiResult first;
  for (auto& p : Ports) {
    if (!p->Port) continue;
    TMidiResult result;
    if (isShort) {
      result = p->Port->ShortMsg(packed);
    } else {
      auto copy = std::make_unique<TMidiLongBuffer>(*buffer);
      result = p->Port->LongMsg(copy);
    }
    if (first.Ok()) first = std::move(result);
  }
  return first;
}

size_t TVirtualPortHub::MaxMessageBytes() {
  std::lock_guard<std::mutex> lock(Lock);
  size_t limit = 0;
  for (auto& p : Ports) {
    const size_t own = p->Port ? p->Port->MaxMessageBytes() : 0;
    if (own != 0) limit = limit == 0 ? own : std::min(limit, own);
  }
  return limit;
}

void TVirtualPortHub::Detach(THandle* handle) {
  {
    std::lock_guard<std::mutex> handles(HandlesLock);
    Handles.erase(std::remove(Handles.begin(), Handles.end(), handle), Handles.end());
  }
  std::lock_guard<std::mutex> lock(Lock);
  CloseDeadLocked();
}

// On the system's own thread: every output on the virtual port learns that this part of it died.
void TVirtualPortHub::PortDied(TSystemPort* port, const TMidiResult& failure) {
  port->Dead.store(true);
  std::lock_guard<std::mutex> handles(HandlesLock);
  for (THandle* h : Handles) h->Failed(failure);
}

}  // namespace tambrel
