#include "recording_service.h"

#include <chrono>
#include <thread>
#include <utility>

namespace tambrel {

class TRecordingService::TPort : public TMidiOutPort {
 public:
  explicit TPort(TRecordingService& s) : S(s) {}
  TMidiResult ShortMsg(uint32_t packed) override {
    Enter();
    std::lock_guard<std::mutex> lock(S.Lock);
    --S.InSend;
    if (!S.SendResult.Ok()) return S.SendResult;
    S.Sent.push_back({false, packed, {}});
    return MidiErrNone;
  }
  TMidiResult LongMsg(std::unique_ptr<TMidiLongBuffer>& buffer) override {
    Enter();
    std::lock_guard<std::mutex> lock(S.Lock);
    --S.InSend;
    if (!S.SendResult.Ok()) return S.SendResult;
    S.Sent.push_back({true, 0, buffer->Messages});
    S.Held.push_back(std::move(buffer));
    return MidiErrNone;
  }
  size_t MaxMessageBytes() const override {
    std::lock_guard<std::mutex> lock(S.Lock);
    return S.MaxMessage;
  }
  TMidiReceiver Maintain() override {
    std::lock_guard<std::mutex> lock(S.Lock);
    return std::exchange(S.Receiver, TMidiReceiver::Unchanged);
  }
  TMidiResult Reset() override {
    std::lock_guard<std::mutex> lock(S.Lock);
    S.Calls.push_back("reset");
    if (S.InSend > 0) ++S.CloseDuringSend;
    return MidiErrNone;
  }
  TMidiResult Close() override {
    std::lock_guard<std::mutex> lock(S.Lock);
    S.Calls.push_back("close");
    if (S.InSend > 0) ++S.CloseDuringSend;
    --S.OpenPorts;
    return S.CloseResult;
  }

 private:
  // Marks a send in progress and, when asked to, stays in it a while so a racing close can be seen.
  void Enter() {
    int delay = 0;
    {
      std::lock_guard<std::mutex> lock(S.Lock);
      ++S.InSend;
      delay = S.SendDelayUs;
    }
    if (delay > 0) std::this_thread::sleep_for(std::chrono::microseconds(delay));
  }
  TRecordingService& S;
};

TRecordingService::TRecordingService(std::vector<std::string> names, std::string mapperName)
    : Names(std::move(names)), MapperName(std::move(mapperName)) {}

uint32_t TRecordingService::GetNumDevs() {
  std::lock_guard<std::mutex> lock(Lock);
  return static_cast<uint32_t>(Names.size());
}

TMidiResult TRecordingService::GetDevCaps(uint32_t id, TMidiOutCaps& caps) {
  std::lock_guard<std::mutex> lock(Lock);
  if (!CapsResult.Ok()) return CapsResult;
  if (id == MidiMapperId) {
    caps.ProductName = MapperName;
    caps.Technology = MidiTechMapper;
  } else if (id < Names.size()) {
    caps.ProductName = Names[id];
    caps.Technology = MidiTechPort;
    caps.DriverVersion = 0x100 + id;
  } else {
    return MidiErrBadDeviceId;
  }
  caps.Voices = 0;
  caps.ChannelMask = 0xFFFF;
  return MidiErrNone;
}

TMidiResult TRecordingService::Open(uint32_t id, const std::string& portName, TMidiDoneCallback done,
                                    std::unique_ptr<TMidiOutPort>& port) {
  std::lock_guard<std::mutex> lock(Lock);
  Calls.push_back("open " + (id == MidiMapperId ? std::string("mapper") : std::to_string(id)) + " as " +
                  portName);
  if (!OpenResult.Ok()) return OpenResult;
  Done = std::move(done);
  ++OpenPorts;
  port = std::make_unique<TPort>(*this);
  return MidiErrNone;
}

std::vector<std::vector<uint8_t>> TRecordingService::Wire() {
  std::lock_guard<std::mutex> lock(Lock);
  std::vector<std::vector<uint8_t>> wire;
  for (const TSent& sent : Sent) {
    if (!sent.Long) {
      std::vector<uint8_t> bytes{static_cast<uint8_t>(sent.Packed), static_cast<uint8_t>(sent.Packed >> 8),
                                 static_cast<uint8_t>(sent.Packed >> 16)};
      wire.push_back(bytes);
    }
    for (const auto& m : sent.Messages) wire.push_back(m);
  }
  return wire;
}

size_t TRecordingService::CompleteAll() {
  std::vector<std::unique_ptr<TMidiLongBuffer>> held;
  TMidiDoneCallback done;
  {
    std::lock_guard<std::mutex> lock(Lock);
    held.swap(Held);
    done = Done;
  }
  for (auto& b : held) done(std::move(b), MidiErrNone);
  return held.size();
}

void TRecordingService::KillPort(TMidiResult failure) {
  TMidiDoneCallback done;
  {
    std::lock_guard<std::mutex> lock(Lock);
    done = Done;
  }
  done(nullptr, std::move(failure));
}

}  // namespace tambrel
