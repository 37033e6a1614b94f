#pragma once
// The platform's MIDI output service as an interface: the port list, each port's capabilities, opening
// a port, and per open port the short and long messages, reset and close. Every call answers with a
// result: a code (0 = success) and, where the system said more, its own words. The real service lists
// the ALSA sequencer's and the JACK server's ports together behind the virtual "Tambrel" port; tests use
// a recording one.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tambrel {

// Selects the virtual "Tambrel" port, always listed first.
constexpr uint32_t MidiMapperId = 0xFFFFFFFFu;
constexpr const char* MidiMapperName = "Tambrel";

// Result codes shared by every backend.
constexpr uint16_t MidiErrNone = 0;
constexpr uint16_t MidiErrGeneral = 1;
constexpr uint16_t MidiErrBadDeviceId = 2;
constexpr uint16_t MidiErrInvalidHandle = 5;
constexpr uint16_t MidiErrNoMemory = 7;
constexpr uint16_t MidiErrInvalidParam = 11;
constexpr uint16_t MidiErrNoDevice = 68;
constexpr uint16_t MidiErrPortGone = 70;
constexpr uint16_t MidiErrBufferFull = 71;
constexpr uint16_t MidiErrNoSystem = 72;
constexpr uint16_t MidiErrSystem = 73;        // the system's own words say what
constexpr uint16_t MidiErrBytesDropped = 74;  // bytes of no complete message were not sent

// The text of a fixed code; false when the code has none.
bool MidiErrorText(uint16_t code, std::string& text);

// What a call of the service did. The text is the system's own when it gave one.
struct TMidiResult {
  TMidiResult() = default;
  TMidiResult(uint16_t code) : Code(code) {}  // NOLINT: a fixed code converts
  TMidiResult(uint16_t code, std::string text) : Code(code), Text(std::move(text)) {}
  bool Ok() const { return Code == MidiErrNone; }
  uint16_t Code = MidiErrNone;
  std::string Text;  // empty: the text of the code
};

// What the capability query fills in.
struct TMidiOutCaps {
  std::string ProductName;
  uint32_t DriverVersion = 0;
  uint16_t Technology = 0;
  uint16_t Voices = 0;
  uint16_t Notes = 0;
  uint16_t ChannelMask = 0;
  uint32_t Support = 0;
};

// Technology codes.
constexpr uint16_t MidiTechPort = 1;    // a port of another program or a device
constexpr uint16_t MidiTechMapper = 5;  // the virtual "Tambrel" port

// One long message in flight: the complete MIDI messages of a buffer, which belong to the port from
// LongMsg until the port hands them back through the completion notice.
struct TMidiLongBuffer {
  std::vector<std::vector<uint8_t>> Messages;
};

// Called by a port when a long buffer is done (sent, or dropped by Reset/Close), on whatever thread the
// backend completes it; it must only hand the buffer on. A failure notice (buffer null, result not Ok)
// says the port has died under its user (a JACK server that went away).
using TMidiDoneCallback = std::function<void(std::unique_ptr<TMidiLongBuffer> buffer, TMidiResult failure)>;

// What an open port found out about its receiver.
enum class TMidiReceiver { Unchanged, Gone, Back };

// An open port. The caller serialises sends on one port; Maintain and Close come from the owning thread
// only, and may run while the sending thread sends. The backend may complete buffers on its own threads.
class TMidiOutPort {
 public:
  virtual ~TMidiOutPort() = default;
  // Up to three bytes packed status + data1*256 + data2*65536; sends only the bytes the status needs.
  virtual TMidiResult ShortMsg(uint32_t packed) = 0;
  // Sends every message of the buffer without waiting; on success the buffer comes back through the
  // done callback. On failure the buffer stays with the caller and nothing was sent.
  virtual TMidiResult LongMsg(std::unique_ptr<TMidiLongBuffer>& buffer) = 0;
  // The longest single message the port can send; 0: no limit of its own.
  virtual size_t MaxMessageBytes() const { return 0; }
  // Owning thread, regularly: notices that the receiver went away or came back (and connects again).
  virtual TMidiReceiver Maintain() { return TMidiReceiver::Unchanged; }
  // Drops what has not gone out yet; every pending buffer is returned as done.
  virtual TMidiResult Reset() = 0;
  // Closes the port; after it no callback comes from this port.
  virtual TMidiResult Close() = 0;
};

class TMidiOutService {
 public:
  virtual ~TMidiOutService() = default;
  // Lists the ports afresh; the ids 0..count-1 of the capability query and Open refer to this list.
  virtual uint32_t GetNumDevs() = 0;
  // id below the count, or MidiMapperId.
  virtual TMidiResult GetDevCaps(uint32_t id, TMidiOutCaps& caps) = 0;
  // portName names the sending port where the system shows one (the virtual port has its own name).
  virtual TMidiResult Open(uint32_t id, const std::string& portName, TMidiDoneCallback done,
                           std::unique_ptr<TMidiOutPort>& port) = 0;
  // false when the code has no text.
  virtual bool GetErrorText(uint16_t code, std::string& text) { return MidiErrorText(code, text); }
};

// The service of this machine: ALSA sequencer and JACK together, created on first use and kept until
// the program ends, with the virtual port.
TMidiOutService& SystemMidiService();

}  // namespace tambrel
