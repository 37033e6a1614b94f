#include "recording_service.h"

#include <chrono>
#include <thread>
#include <utility>

namespace tambrel {

class TRecordingService::TPort : public TMidiOutPort {
 public:
  explicit TPort(TRecordingService& s) : S(s) {}
  uint16_t ShortMsg(uint32_t packed) override {
    Enter();
    std::lock_guard<std::mutex> lock(S.Lock);
    --S.InSend;
    S.Sent.push_back({false, packed, {}});
    return S.SendResult;
  }
  uint16_t LongMsg(std::unique_ptr<TMidiLongBuffer>& buffer) override {
    Enter();
    std::lock_guard<std::mutex> lock(S.Lock);
    --S.InSend;
    if (S.SendResult != 0) return S.SendResult;
    S.Sent.push_back({true, 0, buffer->Data});
    S.Held.push_back(std::move(buffer));
    return 0;
  }
  uint16_t Reset() override {
    std::lock_guard<std::mutex> lock(S.Lock);
    S.Calls.push_back("reset");
    if (S.InSend > 0) ++S.CloseDuringSend;
    return 0;
  }
  uint16_t Close() override {
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

uint16_t TRecordingService::GetDevCaps(uint32_t id, TMidiOutCaps& caps) {
  std::lock_guard<std::mutex> lock(Lock);
  if (CapsResult != 0) return CapsResult;
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
  return 0;
}

uint16_t TRecordingService::Open(uint32_t id, TMidiDoneCallback done, std::unique_ptr<TMidiOutPort>& port) {
  std::lock_guard<std::mutex> lock(Lock);
  Calls.push_back("open " + (id == MidiMapperId ? std::string("mapper") : std::to_string(id)));
  if (OpenResult != 0) return OpenResult;
  Done = std::move(done);
  ++OpenPorts;
  port = std::make_unique<TPort>(*this);
  return 0;
}

bool TRecordingService::GetErrorText(uint16_t code, std::string& text) {
  if (code == 999) return false;  // a code without a text
  return TMidiErrorTexts::Global().TextOf(code, text);
}

size_t TRecordingService::CompleteAll() {
  std::vector<std::unique_ptr<TMidiLongBuffer>> held;
  TMidiDoneCallback done;
  {
    std::lock_guard<std::mutex> lock(Lock);
    held.swap(Held);
    done = Done;
  }
  for (auto& b : held) done(std::move(b), 0);
  return held.size();
}

void TRecordingService::KillPort(uint16_t code) {
  TMidiDoneCallback done;
  {
    std::lock_guard<std::mutex> lock(Lock);
    done = Done;
  }
  done(nullptr, code);
}

}  // namespace tambrel
