#pragma once
// A MIDI service for the tests: a fixed port list, every call recorded, results that a test can set,
// and long buffers held until the test completes them (from any thread). ErrorOf gives the text of
// the component error a call raises.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "midi/midi_output.h"
#include "midi/midi_service.h"

namespace tambrel {

inline std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EmidioutputError& e) {
    return e.what();
  }
  return "no error";
}

// Only the sends may come from another thread than the test's: what they touch is guarded by Lock, or
// atomic.
class TRecordingService : public TMidiOutService {
 public:
  explicit TRecordingService(std::vector<std::string> names) : Names(std::move(names)) {}

  uint32_t GetNumDevs() override { return static_cast<uint32_t>(Names.size()); }
  TMidiResult GetDevCaps(uint32_t id, TMidiOutCaps& caps) override {
    if (!CapsResult.Ok()) return CapsResult;
    if (id != MidiMapperId && id >= Names.size()) return MidiErrBadDeviceId;
    caps.ProductName = id == MidiMapperId ? MidiMapperName : Names[id];
    caps.Technology = id == MidiMapperId ? MidiTechMapper : MidiTechPort;
    return MidiErrNone;
  }
  TMidiResult Open(uint32_t id, const std::string& portName, TMidiDoneCallback done,
                   std::unique_ptr<TMidiOutPort>& port) override {
    Calls.push_back("open " + std::to_string(id) + " as " + portName);
    if (!OpenResult.Ok()) return OpenResult;
    Done = std::move(done);
    ++OpenPorts;
    port = std::make_unique<TPort>(*this);
    return MidiErrNone;
  }

  // Completes every held buffer (in order) through the done callback.
  void CompleteAll() {
    std::unique_lock<std::mutex> lock(Lock);
    std::vector<std::unique_ptr<TMidiLongBuffer>> held = std::exchange(Held, {});
    lock.unlock();
    for (auto& b : held) Done(std::move(b), MidiErrNone);
  }

  std::vector<std::string> Names;
  // What GetDevCaps, Open, the sends (ShortMsg and LongMsg) and Close return.
  TMidiResult CapsResult, OpenResult, SendResult, CloseResult;
  size_t MaxMessage = 0;                              // the port's MaxMessageBytes
  TMidiReceiver Receiver = TMidiReceiver::Unchanged;  // what the next Maintain says
  std::vector<std::string> Calls;                     // "open 1 as NAME", "reset", "close"
  TMidiDoneCallback Done;  // of the port opened last; a test calls it with no buffer to report the port dead
  int OpenPorts = 0;
  int SendDelayUs = 0;
  std::mutex Lock;
  std::vector<std::vector<uint8_t>> Sent;  // every message sent, short (as three bytes) and long, in order
  std::vector<std::unique_ptr<TMidiLongBuffer>> Held;
  std::atomic<int> InSend = 0;  // sends in progress: a reset or close while > 0 is a fault

 private:
  class TPort : public TMidiOutPort {
   public:
    explicit TPort(TRecordingService& s) : S(s) {}
    TMidiResult ShortMsg(uint32_t packed) override {
      return Send({uint8_t(packed), uint8_t(packed >> 8), uint8_t(packed >> 16)}, nullptr);
    }
    TMidiResult LongMsg(std::unique_ptr<TMidiLongBuffer>& buffer) override { return Send({}, &buffer); }
    size_t MaxMessageBytes() const override { return S.MaxMessage; }
    TMidiReceiver Maintain() override { return std::exchange(S.Receiver, TMidiReceiver::Unchanged); }
    TMidiResult Reset() override { return Record("reset", MidiErrNone); }
    TMidiResult Close() override {
      --S.OpenPorts;
      return Record("close", S.CloseResult);
    }

   private:
    TMidiResult Record(const char* call, TMidiResult result) {
      S.Calls.push_back(call);
      EXPECT_EQ(S.InSend.load(), 0) << call << " during a send";
      return result;
    }
    // Stays in the send a while when asked to, so that a racing close can be seen.
    TMidiResult Send(std::vector<uint8_t> shortBytes, std::unique_ptr<TMidiLongBuffer>* buffer) {
      ++S.InSend;
      std::this_thread::sleep_for(std::chrono::microseconds(S.SendDelayUs));
      --S.InSend;
      std::lock_guard<std::mutex> lock(S.Lock);
      if (!S.SendResult.Ok()) return S.SendResult;
      if (!buffer) S.Sent.push_back(std::move(shortBytes));
      if (buffer) {
        S.Sent.insert(S.Sent.end(), (*buffer)->Messages.begin(), (*buffer)->Messages.end());
        S.Held.push_back(std::move(*buffer));
      }
      return MidiErrNone;
    }
    TRecordingService& S;
  };
};

}  // namespace tambrel
