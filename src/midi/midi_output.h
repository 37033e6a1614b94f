#pragma once
// TMidiOutput: one MIDI output port of a MIDI service as a component. The window thread selects,
// opens and closes it and drains its completion notices; the player's thread sends through it.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include "midi/held_notes.h"
#include "midi/midi_service.h"
#include "midi/midi_stream.h"

namespace tambrel {

// The component's failures; the text is one of the fixed texts below or the service's text for a code.
class EmidioutputError : public std::runtime_error {
 public:
  explicit EmidioutputError(const std::string& text) : std::runtime_error(text) {}
};

// A long message of which bytes that form no complete message were dropped; Sent tells whether the
// rest went out.
class EMidiBytesDropped : public EmidioutputError {
 public:
  EMidiBytesDropped(const std::string& text, bool sent) : EmidioutputError(text), Sent(sent) {}
  const bool Sent;
};

// An event record: with a buffer it goes out as a long message, otherwise as a short one.
struct TMidiEvent {
  uint8_t Message = 0;
  uint8_t Data1 = 0;
  uint8_t Data2 = 0;
  uint32_t Time = 0;
  uint16_t BufferLength = 0;
  const uint8_t* Buffer = nullptr;
};

enum class TMidiState : uint8_t { Closed, Open };

// The window message number of a completed long message, kept as the name of the notice.
constexpr int MsgMidiOutputDone = 969;

class TMidiOutput {
 public:
  // The service must outlive the component.
  explicit TMidiOutput(TMidiOutService& service);
  virtual ~TMidiOutput();
  TMidiOutput(const TMidiOutput&) = delete;
  TMidiOutput& operator=(const TMidiOutput&) = delete;

  virtual bool Open();
  virtual bool Close();
  virtual void PutMidiEvent(const TMidiEvent& event);
  virtual void PutShort(uint8_t status, uint8_t data1, uint8_t data2);
  // The bytes continue those of the earlier calls as on a MIDI wire (running status, a system exclusive
  // block over several calls); every message they complete is sent. True when a message went out.
  virtual bool PutLong(const uint8_t* data, uint16_t length);
  // A note-off for every note this output switched on and has not switched off, and nothing else;
  // returns how many were sent. Close does it too, before the port closes.
  size_t ReleaseHeldNotes();

  uint32_t DeviceID() const;
  void SetDeviceID(uint32_t id);
  std::string ProductName() const;
  void SetProductName(const std::string& name);
  // While the component is loaded from stored settings, ProductName writes are ignored.
  void SetLoading(bool loading);
  // The name of the sending port where the MIDI system shows one; taken at the next Open.
  void SetPortName(const std::string& name);

  TMidiState State() const;
  uint16_t Error() const;
  uint32_t DriverVersion() const;
  uint8_t Technology() const;
  uint16_t Voices() const;
  uint16_t Notes() const;
  uint16_t ChannelMask() const;
  uint32_t Support() const;
  uint16_t NumDevs() const { return NumDevsAtCreation; }

  // Window thread: frees every completed long buffer and calls Onmidioutput once for each; a port that
  // died under its user is closed here and reported through OnPortError; a receiver that went away or
  // came back (and was connected again) is told through OnPortNotice. Returns the buffers and failures
  // handled.
  size_t Drain();

  // Set and called on the window thread only.
  std::function<void(TMidiOutput& sender)> Onmidioutput;
  std::function<void(TMidiOutput& sender, const std::string& text)> OnPortError;
  std::function<void(TMidiOutput& sender, const std::string& text)> OnPortNotice;

 private:
  struct TNotice {
    std::unique_ptr<TMidiLongBuffer> Buffer;  // null for a port failure
    TMidiResult Failure;
    uint64_t Generation = 0;  // which opening of the port sent it
  };
  // Shared with the ports' done callbacks, which may outlive a closed port's last notice.
  struct TCompletionQueue {
    std::mutex Lock;
    std::deque<TNotice> Notices;  // guarded by Lock
  };

  std::string TextOf(const TMidiResult& result);
  [[noreturn]] void Fail(const TMidiResult& result);  // caller holds PortLock
  void Check(const TMidiResult& result);  // stores Error, fails on non-zero; caller holds PortLock
  void SelectLocked(uint32_t id);
  bool FindLocked(const std::string& name, uint32_t& id);
  bool CloseLocked();
  void PutShortLocked(uint8_t status, uint8_t data1, uint8_t data2);
  bool PutLongLocked(const uint8_t* data, uint16_t length);
  size_t ReleaseLocked();

  TMidiOutService& Service;
  const uint16_t NumDevsAtCreation;
  std::shared_ptr<TCompletionQueue> Completions;

  // Held by every operation below, so that a port is never closed or reselected during a send.
  mutable std::mutex PortLock;
  // Changed under PortLock on the window thread only, which may therefore read it without the lock.
  std::unique_ptr<TMidiOutPort> Port;       // null while closed
  uint64_t Generation = 0;                  // guarded by PortLock; counts the openings
  uint32_t Id = 0;                          // guarded by PortLock
  TMidiOutCaps Caps;                        // guarded by PortLock
  uint16_t LastError = 0;                   // guarded by PortLock
  bool Loading = false;                     // guarded by PortLock
  std::string PortName = "Tambrel output";  // guarded by PortLock
  TMidiStreamSplitter Splitter;             // guarded by PortLock; the wire's state since Open
  THeldNotes Held;                          // guarded by PortLock; from what was sent since Open
};

}  // namespace tambrel
