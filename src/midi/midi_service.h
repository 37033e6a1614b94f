#pragma once
// The platform's MIDI output service as an interface: the port list, each port's capabilities, opening
// a port, and per open port the short and long messages, reset and close. Every call answers with a
// result code (0 = success) whose text the service gives. The real service lists the ALSA sequencer's
// and the JACK server's ports together behind the virtual "Tambrel" port; tests use a recording one.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tambrel {

// Selects the virtual "Tambrel" port, always listed first.
constexpr uint32_t MidiMapperId = 0xFFFFFFFFu;
constexpr const char* MidiMapperName = "Tambrel";

// Result codes shared by every backend. Codes from MidiErrFirstDynamic on carry a backend's own text
// (TMidiErrorTexts below).
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
constexpr uint16_t MidiErrFirstDynamic = 512;

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

// One long message in flight: its bytes belong to the port from LongMsg until the port hands the
// buffer back through the completion notice.
struct TMidiLongBuffer {
  std::vector<uint8_t> Data;
};

// Called by a port when a long buffer is done (sent, or dropped by Reset/Close), on whatever thread the
// backend completes it; it must only hand the buffer on. A failure notice (buffer null, code non-zero)
// says the port has died under its user (a JACK server that went away).
using TMidiDoneCallback = std::function<void(std::unique_ptr<TMidiLongBuffer> buffer, uint16_t failure)>;

// An open port. The caller serialises calls on one port; the backend may complete buffers on its own
// threads.
class TMidiOutPort {
 public:
  virtual ~TMidiOutPort() = default;
  // Up to three bytes packed status + data1*256 + data2*65536; sends only the bytes the status needs.
  virtual uint16_t ShortMsg(uint32_t packed) = 0;
  // Sends the whole buffer without waiting; on success the buffer comes back through the done callback.
  // On failure the buffer is returned to the caller unchanged (through the argument) and nothing was sent.
  virtual uint16_t LongMsg(std::unique_ptr<TMidiLongBuffer>& buffer) = 0;
  // Drops what has not gone out yet; every pending buffer is returned as done.
  virtual uint16_t Reset() = 0;
  // Closes the port; after it no callback comes from this port.
  virtual uint16_t Close() = 0;
};

class TMidiOutService {
 public:
  virtual ~TMidiOutService() = default;
  // Lists the ports afresh; the ids 0..count-1 of the capability query and Open refer to this list.
  virtual uint32_t GetNumDevs() = 0;
  // id below the count, or MidiMapperId.
  virtual uint16_t GetDevCaps(uint32_t id, TMidiOutCaps& caps) = 0;
  virtual uint16_t Open(uint32_t id, TMidiDoneCallback done, std::unique_ptr<TMidiOutPort>& port) = 0;
  // false when the code has no text.
  virtual bool GetErrorText(uint16_t code, std::string& text) = 0;
};

// The texts of the fixed codes, and a table of backends' own texts: a backend reports a failure with
// its own words by asking for a code for them (the same text always gets the same code).
class TMidiErrorTexts {
 public:
  static TMidiErrorTexts& Global();
  uint16_t CodeFor(const std::string& text);
  bool TextOf(uint16_t code, std::string& text);

 private:
  TMidiErrorTexts() = default;
};

// The service of this machine: ALSA sequencer and JACK together, created on first use.
TMidiOutService& SystemMidiService();

}  // namespace tambrel
