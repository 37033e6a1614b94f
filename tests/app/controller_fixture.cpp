#include "controller_fixture.h"

#include <utility>

#include "player/player.h"

namespace tambrel {

void TPumpedPoster::Pump(TTambrelController& controller) {
  for (;;) {
    TPostedMessage message;
    {
      std::lock_guard<std::mutex> guard(Lock);
      if (Queue.empty()) return;
      message = Queue.front();
      Queue.pop_front();
    }
    controller.Dispatch(message);
  }
}

TRect TFakeScreens::ScreenAt(int32_t x, int32_t y) const {
  for (const TRect& area : Areas)
    if (x >= area.Left && x < area.Left + area.Width && y >= area.Top && y < area.Top + area.Height)
      return area;
  return Areas.front();
}

void TRecordingPort::SetProductName(const std::string& name) {
  if (FailSelect) throw std::runtime_error("select failed");
  Name = name;
}

bool TRecordingPort::Open() {
  if (FailOpen) throw std::runtime_error("MIDI output Device '" + Name + "' not installed");
  IsOpen = true;
  ++Opens;
  return true;
}

bool TRecordingPort::Close() {
  const bool was = IsOpen;
  IsOpen = false;
  ++Closes;
  if (FailClose) throw std::runtime_error("close failed");
  return was;
}

TSendOutcome TRecordingPort::PutLong(const uint8_t* data, uint16_t length) {
  if (FailSend) return {SentAnyway, "send failed"};
  std::lock_guard<std::mutex> guard(Lock);
  Sent.emplace_back(data, data + length);
  for (size_t i = 0; i + 3 <= length; i += 3) {
    const uint8_t status = data[i];
    const auto note = std::make_pair(static_cast<uint8_t>(status & 0x0F), data[i + 1]);
    std::erase(Held, note);
    if ((status & 0xF0) == 0x90 && data[i + 2] != 0) Held.push_back(note);
  }
  return {true, {}};
}

void TRecordingPort::ReleaseHeldNotes() {
  std::lock_guard<std::mutex> guard(Lock);
  for (const auto& [channel, key] : Held) Sent.push_back({static_cast<uint8_t>(0x80 | channel), key, 0});
  Held.clear();
}

ControllerTest::ControllerTest() : Folder(Temp.Path() + "/") {
  View.Bounds = {100, 100, 800, 600};
  Parts.View = &View;
  Parts.Timers = &Timers;
  Parts.Dialogs = &Dialogs;
  Parts.Poster = &Poster;
  Parts.Screens = &Screens;
  Parts.FrontEnd = &FrontEnd;
  for (size_t i = 0; i < Ports.size(); ++i) Parts.Ports[i] = &Ports[i];
  Parts.DeviceNames = [] { return std::vector<std::string>{"Tambrel", "Synth A", "Synth B"}; };
  Parts.NewPlayer = [this] {
    auto clock = std::make_unique<TSimulatedPlayClock>();
    Clock = clock.get();
    return std::make_unique<TPlayer>(std::move(clock));
  };
  Parts.Milliseconds = [this] {
    return CounterOffset + (Clock != nullptr ? static_cast<uint32_t>(Clock->NowUs() / Ms) : 0);
  };
  Parts.AppPath = Folder;
  Parts.IniFileName = Folder + "tambrel.INI";
  Parts.DumpFileName = Folder + "dump.txt";
}

ControllerTest::~ControllerTest() {
  Controller.reset();
}

TTambrelController& ControllerTest::Create(bool show) {
  Controller = std::make_unique<TTambrelController>(Parts);
  Controller->FormCreate();
  StartLines = std::exchange(View.Lines, {});
  if (show) Controller->FormShow();
  return *Controller;
}

void ControllerTest::Advance(int64_t ms) {
  Clock->AdvanceBy(ms * Ms);
}

bool ControllerTest::HasLine(const std::string& line) const {
  for (const std::string& each : View.Lines)
    if (each == line) return true;
  return false;
}

std::vector<uint8_t> ControllerTest::SentTo(int n) {
  TRecordingPort& port = Ports[static_cast<size_t>(n - 1)];
  std::lock_guard<std::mutex> guard(port.Lock);
  std::vector<uint8_t> all;
  for (const auto& message : port.Sent) all.insert(all.end(), message.begin(), message.end());
  return all;
}

}  // namespace tambrel
