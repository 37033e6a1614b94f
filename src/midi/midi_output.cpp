#include "midi/midi_output.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace tambrel {

namespace {

uint16_t ClampCount(uint32_t n) {
  return static_cast<uint16_t>(std::min<uint32_t>(n, 0xFFFF));
}

}  // namespace

TMidiOutput::TMidiOutput(TMidiOutService& service)
    : Service(service),
      NumDevsAtCreation(ClampCount(service.GetNumDevs())),
      Completions(std::make_shared<TCompletionQueue>()) {}

TMidiOutput::~TMidiOutput() {
  std::lock_guard<std::mutex> lock(PortLock);
  try {
    CloseLocked();
  } catch (const EmidioutputError&) {
    // Nothing can be reported from a destructor; the port object is released below regardless.
  }
  Port.reset();
}

void TMidiOutput::Fail(uint16_t code) {
  std::string text;
  if (!Service.GetErrorText(code, text)) text = "Specified error number is out of range";
  throw EmidioutputError(text);
}

void TMidiOutput::Check(uint16_t code) {
  LastError = code;
  if (code != MidiErrNone) Fail(code);
}

// --- selection ---

void TMidiOutput::SelectLocked(uint32_t id) {
  if (id != MidiMapperId && id >= Service.GetNumDevs()) throw EmidioutputError("Invalid MIDI out device ID");
  Id = id;
  TMidiOutCaps caps;
  Check(Service.GetDevCaps(id, caps));
  caps.Technology &= 0xFF;
  Caps = std::move(caps);
}

bool TMidiOutput::FindLocked(const std::string& name, uint32_t& id) {
  const uint32_t count = Service.GetNumDevs();
  for (uint32_t i = 0; i < count; ++i) {
    TMidiOutCaps caps;
    Check(Service.GetDevCaps(i, caps));
    if (caps.ProductName == name) {
      id = i;
      return true;
    }
  }
  TMidiOutCaps caps;
  Check(Service.GetDevCaps(MidiMapperId, caps));
  if (caps.ProductName != name) return false;
  id = MidiMapperId;
  return true;
}

void TMidiOutput::SetDeviceID(uint32_t id) {
  std::lock_guard<std::mutex> lock(PortLock);
  if (Port) throw EmidioutputError("Change to MIDI out Device ID while device was open");
  SelectLocked(id);
}

void TMidiOutput::SetProductName(const std::string& name) {
  std::lock_guard<std::mutex> lock(PortLock);
  if (Port) throw EmidioutputError("Change to ProductName while MIDI out device was open");
  if (Loading) return;
  uint32_t id = 0;
  if (!FindLocked(name, id)) throw EmidioutputError("MIDI output Device '" + name + "' not installed");
  SelectLocked(id);
}

void TMidiOutput::SetLoading(bool loading) {
  std::lock_guard<std::mutex> lock(PortLock);
  Loading = loading;
}

// --- open and close ---

bool TMidiOutput::Open() {
  std::lock_guard<std::mutex> lock(PortLock);
  if (Port) return true;
  // The port list is read afresh by every scan; when it changed since the selection, the number may now
  // name another port, so the selection is made again by the name that was chosen.
  if (!Caps.ProductName.empty()) {
    TMidiOutCaps now;
    const bool sameId = (Id == MidiMapperId || Id < Service.GetNumDevs());
    if (!sameId || Service.GetDevCaps(Id, now) != MidiErrNone || now.ProductName != Caps.ProductName) {
      uint32_t id = 0;
      const std::string name = Caps.ProductName;
      if (!FindLocked(name, id)) throw EmidioutputError("MIDI output Device '" + name + "' not installed");
      SelectLocked(id);
    }
  }
  const uint64_t generation = Generation + 1;
  std::weak_ptr<TCompletionQueue> queue = Completions;
  TMidiDoneCallback done = [queue, generation](std::unique_ptr<TMidiLongBuffer> buffer, uint16_t failure) {
    if (auto q = queue.lock()) {
      std::lock_guard<std::mutex> qlock(q->Lock);
      q->Notices.push_back(TNotice{std::move(buffer), failure, generation});
    }
  };
  std::unique_ptr<TMidiOutPort> port;
  Check(Service.Open(Id, std::move(done), port));
  if (!port) Fail(MidiErrGeneral);
  Port = std::move(port);
  Generation = generation;
  return true;
}

bool TMidiOutput::CloseLocked() {
  if (!Port) return false;
  // Whatever the results, the port object is gone afterwards: a port that failed to close is of no
  // further use, and keeping it would make every later Open fail.
  std::unique_ptr<TMidiOutPort> port = std::move(Port);
  const uint16_t reset = port->Reset();
  const uint16_t closed = port->Close();
  port.reset();
  Check(reset);
  Check(closed);
  return true;
}

bool TMidiOutput::Close() {
  std::lock_guard<std::mutex> lock(PortLock);
  return CloseLocked();
}

// --- sending ---

void TMidiOutput::PutShortLocked(uint8_t status, uint8_t data1, uint8_t data2) {
  const uint32_t packed = status + data1 * 256u + data2 * 65536u;
  Check(Port ? Port->ShortMsg(packed) : MidiErrInvalidHandle);
}

void TMidiOutput::PutLongLocked(const uint8_t* data, uint16_t length) {
  if (length == 0) return;
  if (!Port) Check(MidiErrInvalidHandle);
  auto buffer = std::make_unique<TMidiLongBuffer>();
  buffer->Data.assign(data, data + length);
  Check(Port->LongMsg(buffer));
}

void TMidiOutput::PutShort(uint8_t status, uint8_t data1, uint8_t data2) {
  std::lock_guard<std::mutex> lock(PortLock);
  PutShortLocked(status, data1, data2);
}

void TMidiOutput::PutLong(const uint8_t* data, uint16_t length) {
  if (length == 0) return;
  std::lock_guard<std::mutex> lock(PortLock);
  PutLongLocked(data, length);
}

void TMidiOutput::PutMidiEvent(const TMidiEvent& event) {
  std::lock_guard<std::mutex> lock(PortLock);
  if (!Port) throw EmidioutputError("MIDI Output device not open");
  if (event.Buffer != nullptr)
    PutLongLocked(event.Buffer, event.BufferLength);
  else
    PutShortLocked(event.Message, event.Data1, event.Data2);
}

// --- completion ---

size_t TMidiOutput::Drain() {
  std::deque<TNotice> notices;
  {
    std::lock_guard<std::mutex> qlock(Completions->Lock);
    notices.swap(Completions->Notices);
  }
  for (TNotice& notice : notices) {
    if (notice.Buffer) {
      notice.Buffer.reset();
      if (Onmidioutput) Onmidioutput(*this);
      continue;
    }
    std::string text;
    {
      std::lock_guard<std::mutex> lock(PortLock);
      if (!Port || notice.Generation != Generation) continue;  // already closed, or an earlier opening
      std::unique_ptr<TMidiOutPort> port = std::move(Port);
      port->Reset();
      port->Close();
      port.reset();
      LastError = notice.Failure;
      if (!Service.GetErrorText(notice.Failure, text)) text = "Specified error number is out of range";
    }
    if (OnPortError) OnPortError(*this, text);
  }
  return notices.size();
}

// --- readable fields ---

uint32_t TMidiOutput::DeviceID() const {
  std::lock_guard<std::mutex> lock(PortLock);
  return Id;
}
std::string TMidiOutput::ProductName() const {
  std::lock_guard<std::mutex> lock(PortLock);
  return Caps.ProductName;
}
TMidiState TMidiOutput::State() const {
  std::lock_guard<std::mutex> lock(PortLock);
  return Port ? TMidiState::Open : TMidiState::Closed;
}
uint16_t TMidiOutput::Error() const {
  std::lock_guard<std::mutex> lock(PortLock);
  return LastError;
}
uint32_t TMidiOutput::DriverVersion() const {
  std::lock_guard<std::mutex> lock(PortLock);
  return Caps.DriverVersion;
}
uint8_t TMidiOutput::Technology() const {
  std::lock_guard<std::mutex> lock(PortLock);
  return static_cast<uint8_t>(Caps.Technology);
}
uint16_t TMidiOutput::Voices() const {
  std::lock_guard<std::mutex> lock(PortLock);
  return Caps.Voices;
}
uint16_t TMidiOutput::Notes() const {
  std::lock_guard<std::mutex> lock(PortLock);
  return Caps.Notes;
}
uint16_t TMidiOutput::ChannelMask() const {
  std::lock_guard<std::mutex> lock(PortLock);
  return Caps.ChannelMask;
}
uint32_t TMidiOutput::Support() const {
  std::lock_guard<std::mutex> lock(PortLock);
  return Caps.Support;
}

}  // namespace tambrel
