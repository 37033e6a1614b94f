#include "app/output_routing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <utility>

#include "controller_fixture.h"

namespace tambrel {
namespace {

using TMessages = std::vector<std::vector<uint8_t>>;

class OutputRoutingTest : public ::testing::Test {
 protected:
  OutputRoutingTest() : Routing({&Ports[0], &Ports[1], &Ports[2], &Ports[3]}) {
    Routing.OnDeviceError = [this](const std::string& text) { Errors.push_back(text); };
    Routing.OnLight = [this](int n) { Lit.push_back(n); };
    Routing.OnSlideBytes = [this](std::span<const uint8_t> bytes) {
      Slides.emplace_back(bytes.begin(), bytes.end());
    };
    Routing.OnSyncClock = [this](uint32_t time) { Clock.push_back(time); };
    Routing.OnTracePosted = [this] { ++TracePosts; };
    Routing.FillMidiLists({"Tambrel", "Synth A", "Synth B"});
  }
  void Activate(int n, const std::string& name, int32_t device) {
    Routing.SelectOutput(n, name);
    Routing.SetHandlesDevice(n, device);
    Routing.SetOutputActive(n, true);
  }
  void Play(uint32_t time, int32_t device, std::vector<uint8_t> bytes) {
    Items.push_back(std::move(bytes));
    const auto dump = [=] { return "item " + std::to_string(time) + " " + std::to_string(device); };
    Routing.PlayerData({time, device, Items.back(), dump});
  }
  std::array<TRecordingPort, 4> Ports;
  TOutputRouting Routing;
  std::vector<std::string> Errors;
  std::vector<int> Lit;
  TMessages Slides;
  std::vector<uint32_t> Clock;
  std::deque<std::vector<uint8_t>> Items;
  int TracePosts = 0;
};

// An item reaches every active output of its device, in the outputs' order, and the slides of its device;
// every item moves the clock.
TEST_F(OutputRoutingTest, ItemsReachTheActiveOutputsAndSlidesOfTheirDeviceAndMoveTheClock) {
  Activate(1, "synth a", 2);
  Activate(3, "SYNTH B", 2);
  Activate(2, "Synth A", 3);
  Routing.SelectOutput(4, "Synth A");  // selected, never activated
  Routing.SetHandlesDevice(4, 2);
  Routing.SetSlidesActive(true);
  Routing.SetSlidesDevice(2);  // the slides need no open output
  Play(500, 2, {0x90, 0x3C, 0x64});
  Play(90000, 7, {1});  // nobody handles device 7
  EXPECT_EQ(Lit, (std::vector<int>{1, 3}));
  EXPECT_EQ(Ports[0].Sent, (TMessages{{0x90, 0x3C, 0x64}}));
  EXPECT_EQ(Clock, (std::vector<uint32_t>{500, 90000}));
  EXPECT_EQ(Slides, (TMessages{{0x90, 0x3C, 0x64}}));
  Routing.SetOutputActive(3, false);
  Routing.SetSlidesActive(false);
  EXPECT_FALSE(Ports[2].IsOpen);
  Play(600, 2, {0xC0, 5});
  EXPECT_EQ(Ports[2].Sent.size(), 1u);
  EXPECT_EQ(Slides.size(), 1u);
  // Nothing is routed while the owner goes away.
  Routing.SetDestroying();
  Play(700, 2, {0x90, 1, 2});
  EXPECT_EQ(Ports[0].Sent.size(), 2u);
  EXPECT_EQ(Clock.size(), 3u);
}

TEST_F(OutputRoutingTest, ChangingTheDeviceOfAnActiveOutputReopensIt) {
  Activate(1, "Synth A", 1);
  Routing.SelectOutput(1, "Synth B");
  EXPECT_EQ(Ports[0].Closes, 1);
  EXPECT_EQ(Ports[0].Opens, 2);
  EXPECT_EQ(Ports[0].Name, "Synth B");
  EXPECT_TRUE(Routing.Slot(1).Opened);
  Ports[0].FailSelect = true;
  Routing.SelectOutput(1, "Synth A");
  EXPECT_FALSE(Routing.Slot(1).Active);
  EXPECT_EQ(Routing.Slot(1).DeviceName, "");
  EXPECT_EQ(Errors.size(), 1u);
}

// A failed send is reported and lights nothing; one that sent part of the item lights and reports.
TEST_F(OutputRoutingTest, SendErrorsAreReportedAndOnlyWhatWasSentLights) {
  Activate(1, "Synth A", 1);
  Activate(2, "Synth B", 1);
  Activate(3, "Synth B", 1);
  Ports[0].FailSend = true;
  Ports[2].FailSend = Ports[2].SentAnyway = true;
  std::vector<std::string> sendErrors;
  Routing.OnSendError = [&](int n, const std::string& text) {
    sendErrors.push_back(std::to_string(n) + text);
  };
  Play(10, 1, {0xF8});
  EXPECT_EQ(sendErrors, (std::vector<std::string>{"1send failed", "3send failed"}));
  EXPECT_EQ(Lit, (std::vector<int>{2, 3}));
}

TEST_F(OutputRoutingTest, TraceLinesDrainInOrderAndTheFirstIntoAnEmptyQueueAsksForADrain) {
  Routing.SetTraceMode(true);
  std::atomic<bool> played{false};
  std::thread player([&] {
    for (uint32_t i = 0; i < 100; ++i) Play(i, 1, {0x90, 1, 2});
    played = true;
  });
  TCollectingMessageSink sink;
  while (!played) Routing.DrainTrace(sink);  // drains whatever has arrived so far
  player.join();
  Routing.DrainTrace(sink);
  ASSERT_EQ(sink.Lines.size(), 100u);
  for (uint32_t i = 0; i < 100; ++i) EXPECT_EQ(sink.Lines[i], "item " + std::to_string(i) + " 1");
  // Only the first line into an empty queue asks for a drain.
  const int posts = TracePosts;
  for (uint32_t i = 0; i < 3; ++i) Play(i, 1, {0x90});
  Routing.QueueTrace("PLAYER: fault");
  EXPECT_EQ(TracePosts, posts + 1);
  Routing.DrainTrace(sink);
  EXPECT_EQ(sink.Lines.size(), 104u);
  EXPECT_EQ(sink.Lines.back(), "PLAYER: fault");
  Play(3, 1, {0x90});
  EXPECT_EQ(TracePosts, posts + 2);
}

TEST_F(OutputRoutingTest, PortThatDiedIsSwitchedOffAtDrainAndReported) {
  Activate(1, "Synth A", 1);
  Activate(2, "Synth B", 1);
  std::vector<std::string> notices;
  Routing.OnPortNotice = [&](const std::string& text) { notices.push_back(text); };
  Ports[0].Report.Notices = {"the MIDI port \"Synth A\" has gone"};
  Ports[1].Report.Failure = "server gone";
  Routing.DrainPorts();
  EXPECT_EQ(notices, std::vector<std::string>{"output 1: the MIDI port \"Synth A\" has gone"});
  EXPECT_EQ(Errors, std::vector<std::string>{"output 2: server gone"});
  EXPECT_FALSE(Routing.Slot(2).Active);
  Play(0, 1, {0x90, 60, 100});
  EXPECT_EQ(Ports[0].Sent.size(), 1u);
  EXPECT_TRUE(Ports[1].Sent.empty());
}

TEST_F(OutputRoutingTest, HeldNotesAreReleasedOnOpenOutputsOnly) {
  Activate(2, "Synth A", 1);
  Activate(3, "Synth A", 1);
  Play(0, 1, {0x90, 60, 100});
  Routing.SetOutputActive(3, false);
  Routing.ReleaseHeldNotes();
  EXPECT_EQ(Ports[1].Sent, (TMessages{{0x90, 60, 100}, {0x80, 60, 0}}));
  EXPECT_EQ(Ports[2].Sent.size(), 1u);
}

// Every open output is closed, also after one fails; the failures are reported afterwards.
TEST_F(OutputRoutingTest, CloseAllClosesEveryOpenOutputThenReports) {
  Activate(1, "Synth A", 1);
  Activate(2, "Synth A", 1);
  Activate(4, "Synth B", 1);
  Ports[0].FailClose = Ports[1].FailClose = true;
  Routing.CloseAll();
  for (int n : {0, 1, 3}) EXPECT_EQ(Ports[n].Closes, 1) << n;
  EXPECT_EQ(Ports[2].Closes, 0);
  EXPECT_FALSE(Routing.Slot(4).Opened);
  EXPECT_EQ(Errors, (std::vector<std::string>{"output 1: close failed", "output 2: close failed"}));
}

TEST_F(OutputRoutingTest, AnEmptyListLeavesNoDeviceAndTheListsAreFilledOnce) {
  TOutputRouting routing({&Ports[0], &Ports[1], &Ports[2], &Ports[3]});
  routing.FillMidiLists({});
  EXPECT_EQ(routing.Slot(1).DeviceName, "");
  routing.FillMidiLists({"Tambrel"});
  EXPECT_TRUE(routing.DeviceList().empty());
  EXPECT_THROW(routing.SetHandlesDevice(5, 1), std::out_of_range);
}

}  // namespace
}  // namespace tambrel
