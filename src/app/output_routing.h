#pragma once
// Routing of played data items to the four MIDI outputs and the slide device, with the trace hand-over
// to the window thread. Toolkit-free: the window and the command-line tool both drive it.
//
// Threads: PlayerData runs on the player's timer thread; everything else on the owning (window) thread.
// The routing fields PlayerData reads are single atomic values, read without a lock; the trace queue
// has its own lock, held only around one push or pop.

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "app/message_sink.h"

namespace tambrel {

// What a send did: whether a message went out, and what went wrong (also when something went out).
struct TSendOutcome {
  bool Sent = false;
  std::string Problem;
};

// What the owning thread learns when it drains a port.
struct TPortReport {
  std::string Failure;               // the port was closed under its user (its MIDI system went away)
  std::vector<std::string> Notices;  // its receiver went away or came back; the port stays open
};

// One MIDI output as routing sees it (the window's four TMidiOutput components, or the tool's ports).
class TOutputPort {
 public:
  virtual ~TOutputPort() = default;
  // Selects the port by its product name; only called while closed. Throws on an unknown name.
  virtual void SetProductName(const std::string& name) = 0;
  virtual bool Open() = 0;   // throws with the device's error text
  virtual bool Close() = 0;  // harmless on a closed port; switches the held notes off first
  // Player thread; never throws.
  virtual TSendOutcome PutLong(const uint8_t* data, uint16_t length) = 0;
  // A note-off for every note the port switched on and not off, nothing else; throws with the
  // device's error text.
  virtual void ReleaseHeldNotes() = 0;
  // Owning thread, regularly while playing: handles the port's completion notices.
  virtual TPortReport Drain() { return {}; }
};

// Routing state of one output. Written on the owning thread, read by PlayerData on the player's thread.
struct OutputSlot {
  std::string DeviceName;  // owning thread only
  std::atomic<bool> Active{false};
  std::atomic<bool> Opened{false};
  std::atomic<int32_t> HandlesDevice{1};
};

// What PlayerData needs of a data item: its time, device, bytes and its one-line dump text.
struct TRoutedItem {
  uint32_t Time = 0;
  int32_t Device = 0;
  std::span<const uint8_t> Data;
  std::function<std::string()> DumpLine;  // built only in trace mode
};

class TOutputRouting {
 public:
  static constexpr int OutputCount = 4;

  // ports[i] is output i + 1; the ports must outlive the routing.
  explicit TOutputRouting(std::array<TOutputPort*, OutputCount> ports);
  ~TOutputRouting();
  TOutputRouting(const TOutputRouting&) = delete;
  TOutputRouting& operator=(const TOutputRouting&) = delete;

  // Hooks, set before play starts. Device errors are shown to the user (a message box in the window).
  std::function<void(const std::string& text)> OnDeviceError;
  // Player thread: output N received an item (the window lights its indicator through a posted request).
  std::function<void(int n)> OnLight;
  // Player thread: bytes for the slide window's command entry.
  std::function<void(std::span<const uint8_t>)> OnSlideBytes;
  // Any thread: the trace queue is no longer empty; the owner arranges a DrainTrace on its thread.
  std::function<void()> OnTracePosted;
  // Player thread: re-anchor the play clock to the item's time.
  std::function<void(uint32_t time)> OnSyncClock;
  // Player thread: a send failed; the text of the error (the callback itself must not throw).
  std::function<void(int n, const std::string& text)> OnSendError;
  // Owning thread: "output N: <text>" of a receiver that went away or came back (the output stays on).
  std::function<void(const std::string& text)> OnPortNotice;

  // Device list, filled once: the mapper entry first, then every port. Each output selects the first
  // entry.
  void FillMidiLists(const std::vector<std::string>& entries);
  const std::vector<std::string>& DeviceList() const { return Entries; }

  void SelectOutput(int n, const std::string& name);
  void SetOutputActive(int n, bool on);
  void SetHandlesDevice(int n, int32_t value);
  void SetSlidesActive(bool on);
  void SetSlidesDevice(int32_t value);
  void SetTraceMode(bool on);
  // From here on PlayerData does nothing (the owner is going away).
  void SetDestroying();

  const OutputSlot& Slot(int n) const;
  bool SlidesActive() const { return SlidesActiveFlag.load(); }
  int32_t SlidesDevice() const { return SlidesDeviceNumber.load(); }
  bool TraceMode() const { return TraceModeFlag.load(); }
  // The caption of output N's toggle (5 for the slide device).
  static std::string ToggleCaption(int n, bool active);

  // The player's data callback.
  void PlayerData(const TRoutedItem& item);

  // Any thread: queues a line for the owner's message area. OnTracePosted is called only when the
  // queue was empty, so that a flood of lines asks for one drain, not one per line.
  void QueueTrace(std::string line);
  // Takes every queued trace line at once and writes them to sink, oldest first.
  void DrainTrace(TMessageSink& sink);
  // Drops every queued line (shutdown).
  void DiscardTrace();

  // Owning thread, regularly while playing: drains every port; an output whose port failed is switched
  // off and its failure reported through OnDeviceError as "output N: <text>".
  void DrainPorts();

  // The note-offs of every note still sounding on the open outputs (play stopped, jumped or reset);
  // failures reported through OnDeviceError as "output N: <text>".
  void ReleaseHeldNotes();

  // Closes every open output, each after its held notes are switched off, also when another one fails;
  // then reports the failures through OnDeviceError as "output N: <text>" (shutdown).
  void CloseAll();

 private:
  OutputSlot& SlotRef(int n);
  TOutputPort& PortOf(int n) { return *Ports[static_cast<size_t>(n - 1)]; }
  void SwitchOff(OutputSlot& slot);
  void ReportDevice(int n, const std::string& text);

  std::array<TOutputPort*, OutputCount> Ports;
  std::array<OutputSlot, OutputCount> Slots;
  std::vector<std::string> Entries;  // owning thread only
  bool ListsFilled = false;
  std::atomic<bool> SlidesActiveFlag{false};
  std::atomic<int32_t> SlidesDeviceNumber{1};
  std::atomic<bool> TraceModeFlag{false};
  std::atomic<bool> Destroying{false};

  std::mutex TraceLock;
  std::deque<std::string> TraceQueue;  // guarded by TraceLock
};

}  // namespace tambrel
