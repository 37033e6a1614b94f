#pragma once
// The virtual "Tambrel" port of every running MIDI system, opened once and kept until the service goes,
// so that the connections other programs made to it survive outputs switching off and on. Every output
// that selects it gets a handle of its own; all handles send through the same ports.

#include <memory>
#include <mutex>
#include <vector>

#include "midi/midi_backend.h"

namespace tambrel {

class TVirtualPortHub {
 public:
  // The backends must outlive the hub.
  explicit TVirtualPortHub(const std::vector<std::unique_ptr<TMidiBackend>>& backends);
  ~TVirtualPortHub();
  // Owning thread: a handle for one output; opens the virtual port of each running system that has none (yet,
  // or any longer). The handles must go before the hub.
  TMidiResult Open(TMidiDoneCallback done, std::unique_ptr<TMidiOutPort>& handle);

 private:
  class THandle;
  struct TSystemPort;
  TMidiResult SendToAll(std::unique_ptr<TMidiLongBuffer>& buffer, uint32_t packed, bool isShort);
  size_t MaxMessageBytes();
  void Detach(THandle* handle);  // owning thread
  void CloseDeadLocked();
  void PortDied(TSystemPort* port, const TMidiResult& failure);

  const std::vector<std::unique_ptr<TMidiBackend>>& Backends;
  std::mutex Lock;  // held by sends, opening and closing; never by the systems' failure notices
  std::vector<std::unique_ptr<TSystemPort>> Ports;  // guarded by Lock, one per backend
  std::mutex HandlesLock;         // taken by the failure notices, never inside Lock's users' sends
  std::vector<THandle*> Handles;  // guarded by HandlesLock
};

}  // namespace tambrel
