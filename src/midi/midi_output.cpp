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

std::string TMidiOutput::TextOf(const TMidiResult& result) {
  std::string text = result.Text;
  if (text.empty() && !Service.GetErrorText(result.Code, text))
    text = "Specified error number is out of range";
  return text;
}

void TMidiOutput::Fail(const TMidiResult& result) {
  throw EmidioutputError(TextOf(result));
}

void TMidiOutput::Check(const TMidiResult& result) {
  LastError = result.Code;
  if (!result.Ok()) Fail(result);
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

void TMidiOutput::SetPortName(const std::string& name) {
  std::lock_guard<std::mutex> lock(PortLock);
  PortName = name;
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
    if (!sameId || !Service.GetDevCaps(Id, now).Ok() || now.ProductName != Caps.ProductName) {
      uint32_t id = 0;
      const std::string name = Caps.ProductName;
      if (!FindLocked(name, id)) throw EmidioutputError("MIDI output Device '" + name + "' not installed");
      SelectLocked(id);
    }
  }
  const uint64_t generation = Generation + 1;
  std::weak_ptr<TCompletionQueue> queue = Completions;
  TMidiDoneCallback done = [queue, generation](std::unique_ptr<TMidiLongBuffer> buffer, TMidiResult failure) {
    if (auto q = queue.lock()) {
      std::lock_guard<std::mutex> qlock(q->Lock);
      q->Notices.push_back(TNotice{std::move(buffer), std::move(failure), generation});
    }
  };
  std::unique_ptr<TMidiOutPort> port;
  Check(Service.Open(Id, PortName, std::move(done), port));
  if (!port) Fail(MidiErrGeneral);
  Port = std::move(port);
  Generation = generation;
  Splitter = TMidiStreamSplitter{};
  Held = THeldNotes{};
  return true;
}

bool TMidiOutput::CloseLocked() {
  if (!Port) return false;
  // Whatever the results, the port object is gone afterwards: a port that failed to close is of no
  // further use, and keeping it would make every later Open fail.
  // The notes still sounding are switched off first, as the platform's reset does.
  TMidiResult released;
  try {
    ReleaseLocked();
  } catch (const EmidioutputError& error) {
    released = TMidiResult(LastError, error.what());
  }
  std::unique_ptr<TMidiOutPort> port = std::move(Port);
  const TMidiResult reset = port->Reset();
  const TMidiResult closed = port->Close();
  port.reset();
  Check(released);
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
  Check(Port ? Port->ShortMsg(packed) : TMidiResult(MidiErrInvalidHandle));
  Held.Sent({status, static_cast<uint8_t>(data1 & 0x7F), static_cast<uint8_t>(data2 & 0x7F)});
}

bool TMidiOutput::PutLongLocked(const uint8_t* data, uint16_t length) {
  if (length == 0) return false;
  if (!Port) Check(MidiErrInvalidHandle);
  // The wire's state moves on only when what it completed went out.
  TMidiStreamSplitter splitter = Splitter;
  splitter.SetSysExLimit(Port->MaxMessageBytes());
  std::vector<TMidiMessage> messages;
  splitter.Feed(std::span<const uint8_t>(data, length), messages);
  auto buffer = std::make_unique<TMidiLongBuffer>();
  buffer->Messages.reserve(messages.size());
  for (TMidiMessage& m : messages) buffer->Messages.push_back(std::move(m.Bytes));
  const bool sent = !buffer->Messages.empty();
  if (sent) {
    THeldNotes held = Held;
    for (const auto& m : buffer->Messages) held.Sent(m);
    Check(Port->LongMsg(buffer));
    Held = held;
  }
  Splitter = std::move(splitter);
  const std::string dropped = Splitter.TakeDropReport();
  if (!dropped.empty()) {
    LastError = MidiErrBytesDropped;
    throw EMidiBytesDropped(dropped, sent);
  }
  return sent;
}

void TMidiOutput::PutShort(uint8_t status, uint8_t data1, uint8_t data2) {
  std::lock_guard<std::mutex> lock(PortLock);
  PutShortLocked(status, data1, data2);
}

bool TMidiOutput::PutLong(const uint8_t* data, uint16_t length) {
  if (length == 0) return false;
  std::lock_guard<std::mutex> lock(PortLock);
  return PutLongLocked(data, length);
}

size_t TMidiOutput::ReleaseLocked() {
  if (!Port) return 0;
  size_t sent = 0;
  TMidiResult failure;
  for (const std::vector<uint8_t>& off : Held.TakeNoteOffs()) {
    const TMidiResult result = Port->ShortMsg(off[0] + off[1] * 256u);
    if (result.Ok())
      ++sent;
    else if (failure.Ok())
      failure = result;
  }
  Check(failure);
  return sent;
}

size_t TMidiOutput::ReleaseHeldNotes() {
  std::lock_guard<std::mutex> lock(PortLock);
  return ReleaseLocked();
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
      LastError = notice.Failure.Code;
      text = TextOf(notice.Failure);
    }
    if (OnPortError) OnPortError(*this, text);
  }
  // Port changes only on this thread, so it is read here without the lock, which the sending thread
  // must not wait for while the port looks for its receiver.
  if (Port) {
    const TMidiReceiver receiver = Port->Maintain();
    if (receiver != TMidiReceiver::Unchanged && OnPortNotice) {
      const std::string name = ProductName();
      OnPortNotice(*this, receiver == TMidiReceiver::Gone ? "the MIDI port \"" + name + "\" has gone"
                                                          : "the MIDI port \"" + name + "\" is back");
    }
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
