// Play control, the clock, the hot keys, the indicators of the outputs, a failed tick, the dump and the
// note-offs of a play ended early.
#include <functional>
#include <thread>

#include "controller_fixture.h"
#include "player/player.h"

namespace tambrel {
namespace {

class PlayTest : public ControllerTest {
 protected:
  // Items a second apart for device 1 (bytes 90 i 64), then the end marker.
  void LoadItems(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
      text += std::to_string(i) + ".0 out(1, $90, " + std::to_string(i) + ", 100);\n";
    Controller->LoadTambrel(Script("items.tmb", text));
  }
  uint32_t Pending() {
    uint32_t time = 0;
    return Controller->Player()->PendingTime(time) ? time : UINT32_MAX;
  }
};

// A repeat with too few items starts once there are enough.
TEST_F(PlayTest, StartStopTheCaptionAndAWaitingRepeat) {
  Create(true);
  Controller->SetRepeat(true);
  Controller->SetPlaying(true);
  EXPECT_EQ(View.Toggles[TToggle::StartStop].Caption, "&Stop");
  EXPECT_TRUE(View.Toggles[TToggle::StartStop].Down);
  EXPECT_FALSE(Controller->Player()->Enabled());
  LoadItems(3);
  EXPECT_TRUE(Controller->Player()->Enabled());
  Controller->SetPlaying(false);
  Controller->SetRepeat(false);
  EXPECT_FALSE(Controller->Player()->Enabled());
  Controller->ResetPlayer();
  Controller->SetPlaying(true);
  EXPECT_EQ(View.Caption, "Tambrel - running");
  EXPECT_TRUE(Timers.Running(TTimerId::Time));
  Advance(1000);
  Controller->SetPlaying(false);
  EXPECT_EQ(View.Caption, "Tambrel");
  EXPECT_FALSE(Timers.Running(TTimerId::Time));
  // Stopped, the position is kept: the item due next is still pending.
  EXPECT_EQ(Pending(), 2000u);
  Advance(5000);
  EXPECT_EQ(Pending(), 2000u);
  Controller->ResetPlayer();
  EXPECT_EQ(Pending(), 0u);
  Controller->NextItem();  // stopped: nothing moves
  EXPECT_EQ(Pending(), 0u);
}

struct TGotoCase {
  std::optional<std::string> Answer;
  bool Refused;
  uint32_t Minutes;
  uint32_t Pending;  // the player's next item afterwards
};

TEST_F(PlayTest, GotoTimeMovesRefusesAndRemembers) {
  Create(true);
  std::string text;
  for (int s = 0; s <= 300; s += 30) text += std::to_string(s) + ".0 out(1, $90, 1, 1);\n";
  Controller->LoadTambrel(Script("five.tmb", text));
  const TGotoCase cases[] = {{"2", false, 2, 90000},          {"not a number", false, 2, 90000},
                             {std::nullopt, false, 2, 90000}, {"-1", true, 2, 90000},
                             {"+3", false, 3, 150000},        {"35792", true, 35792, 150000},
                             {"35791", false, 35791, 300000}, {"0", false, 0, 0}};
  for (const TGotoCase& test : cases) {
    Dialogs.Answer = test.Answer;
    if (test.Refused)
      EXPECT_THROW(Controller->GotoTimeCommand(), std::runtime_error) << test.Answer.value_or("cancel");
    else
      EXPECT_NO_THROW(Controller->GotoTimeCommand());
    EXPECT_EQ(Controller->GotoMinutes(), test.Minutes) << test.Answer.value_or("cancel");
    // Stopped, the player's next item is the last one before the time.
    uint32_t pending = 0;
    Controller->Player()->PendingTime(pending);
    EXPECT_EQ(pending, test.Pending) << test.Answer.value_or("cancel");
  }
  EXPECT_EQ(Dialogs.Asked.front(), "Goto time|minutes|0");
  EXPECT_EQ(Dialogs.Asked[1], "Goto time|minutes|2");
}

TEST_F(PlayTest, TheClockFollowsTheCounterAcrossItsWrapAndThePlayedItems) {
  CounterOffset = UINT32_MAX - 999;  // the counter wraps one second after the start
  Create(true);
  Controller->SetPlaying(true);
  Advance(61500);
  Controller->TimerFired(TTimerId::Time);
  EXPECT_EQ(View.Clock, "00001:01.500");
  // An item whose time is beyond the counter's value since its zero.
  Controller->SyncClock(3600000);
  Advance(1);
  Controller->TimerFired(TTimerId::Time);
  EXPECT_EQ(View.Clock, "00060:00.001");
  // A counter behind the anchor keeps the text.
  Controller->SyncClock(0);
  CounterOffset -= 10;
  Controller->TimerFired(TTimerId::Time);
  EXPECT_EQ(View.Clock, "00060:00.001");
  Controller->SetPlaying(false);
  // An item at 90 s reached by a goto to minute 1: the clock reads its time and runs on from there.
  Controller->LoadTambrel(Script("clock.tmb", "30.0 out(1, 1);\n90.0 out(1, 2);\n120.0 out(1, 3);\n"));
  Controller->SetPlaying(true);
  Dialogs.Answer = "1";
  Controller->GotoTimeCommand();
  Advance(7);
  Controller->TimerFired(TTimerId::Time);
  EXPECT_EQ(View.Clock, "00001:30.007");
}

struct THotKey {
  TTab Tab;
  char Key;
  TKeyModifiers Modifiers;
  bool Handled;
  bool Output1Active, Slides, Repeat, Playing;
};

TEST_F(PlayTest, HotKeysActOnlyWithExactlyAltAndWhereTheyBelong) {
  const TKeyModifiers alt{true, false, false, false};
  const THotKey cases[] = {
      {TTab::Settings, '1', alt, true, true, false, false, false},
      {TTab::Main, '1', alt, false, false, false, false, false},
      {TTab::Settings, '5', alt, true, false, true, false, false},
      {TTab::Help, 'S', alt, true, false, false, false, true},
      {TTab::Settings, 'P', alt, true, false, false, true, false},
      {TTab::Settings, '1', {true, true, false, false}, false, false, false, false, false},
      {TTab::Settings, '1', {true, false, true, false}, false, false, false, false, false},
      {TTab::Main, 'S', {false, false, false, false}, false, false, false, false, false},
      {TTab::Main, 'X', alt, false, false, false, false, false},
  };
  for (const THotKey& test : cases) {
    Create();
    Controller->SelectOutput(1, "Synth A");
    View.Tab = test.Tab;
    EXPECT_EQ(Controller->FormKeyDown(test.Key, test.Modifiers), test.Handled) << test.Key;
    EXPECT_EQ(Controller->Routing().Slot(1).Active, test.Output1Active) << test.Key;
    EXPECT_EQ(Controller->Routing().SlidesActive(), test.Slides) << test.Key;
    EXPECT_EQ(Controller->DoRepeat(), test.Repeat) << test.Key;
    EXPECT_EQ(Controller->Playing(), test.Playing) << test.Key;
    Destroy();
  }
}

// One post lights every output an item reached; each indicator goes out on its own timer.
TEST_F(PlayTest, ItemsLightTheIndicatorsOfTheOutputsTheyReach) {
  Create(true);
  for (int n : {1, 3}) {
    Controller->SelectOutput(n, "Synth A");
    Controller->SetOutputActive(n, true);
    Controller->SetHandlesDevice(n, 2);
  }
  Controller->LoadTambrel(Script("two.tmb", "0 out(2, $90, 60, 100);\n"));
  Controller->ResetPlayer();
  Controller->SetPlaying(true);
  EXPECT_EQ(Poster.PostedCount(MsgLight), 1);
  Pump();
  EXPECT_TRUE(View.Leds[1] && View.Leds[3]);
  EXPECT_FALSE(View.Leds[2]);
  EXPECT_EQ(Timers.Intervals[TTimerId::Led1], 55);
  Controller->TimerFired(TTimerId::Led1);
  EXPECT_FALSE(View.Leds[1]);
  EXPECT_FALSE(Timers.Running(TTimerId::Led1));
}

TEST_F(PlayTest, AFailedTickIsReportedOnTheWindowThread) {
  Parts.SlideEntry = [](std::span<const uint8_t>) { throw std::runtime_error("slides broke"); };
  Create(true);
  Controller->SetSlidesActive(true);
  Controller->LoadTambrel(Script("slide.tmb", "0 out(1, 5);\n1.0 out(1, 5);\n"));
  Controller->SetPlaying(true);  // the first item throws on this thread, to the caller
  View.Lines.clear();
  std::thread timer([this] { Advance(1000); });
  timer.join();
  EXPECT_TRUE(View.Lines.empty());
  Pump();
  ASSERT_FALSE(View.Lines.empty());
  for (const std::string& line : View.Lines) EXPECT_EQ(line, "PLAYER: Player tick failed: slides broke");
}

TEST_F(PlayTest, TheSchedulingReportAndTheDumpReachTheMessageArea) {
  Create(true);
  EXPECT_EQ(StartLines, (std::vector<std::string>{"timer scheduling: simulated (no thread of its own)"}));
  LoadItems(2);
  View.Lines.clear();
  Controller->DumpPlayer();
  EXPECT_EQ(View.Lines, (std::vector<std::string>{"PLAYER: TimedBatch", "PLAYER: Begin",
                                                  "PLAYER: | 00000:00.000  00001 90 00 64",
                                                  "PLAYER: | 00000:01.000  00001 90 01 64",
                                                  "PLAYER: | 00000:01.000  End marker", "PLAYER: End"}));
  Controller->ClearDisplay();
  EXPECT_TRUE(View.Lines.empty());
}

TEST_F(PlayTest, PlayEndedEarlySendsTheNoteOffsOfTheNotesStillSounding) {
  struct TCase {
    const char* Name;
    size_t Replayed;  // messages of the play that goes on, after the note-offs
    std::function<void(TTambrelController&)> End;
  };
  const TCase cases[] = {
      {"stop", 0, [](TTambrelController& c) { c.SetPlaying(false); }},
      {"goto", 0, [](TTambrelController& c) { c.GotoTimeCommand(); }},
      {"reset", 1, [](TTambrelController& c) { c.ResetPlayer(); }},
      {"unload", 0, [](TTambrelController& c) { c.UnloadAll(); }},
      {"close", 0, [](TTambrelController& c) { c.RequestClose(); }},
  };
  Dialogs.Answer = "0";
  for (const TCase& test : cases) {
    Create();
    Controller->SelectOutput(1, "Synth A");
    Controller->SetOutputActive(1, true);
    Controller->LoadTambrel(Script("held.tmb",
                                   "0 out(1, $90, 60, 100);\n0 out(1, $91, 62, 90);\n"
                                   "0.1 out(1, $80, 60, 0);\n10.0 out(1, $81, 62, 0);\n"));
    Controller->SetPlaying(true);
    Advance(200);
    Ports[0].Sent.clear();
    test.End(*Controller);
    ASSERT_EQ(Ports[0].Sent.size(), 1 + test.Replayed) << test.Name;
    EXPECT_EQ(Ports[0].Sent.front(), (std::vector<uint8_t>{0x81, 62, 0})) << test.Name;
    Destroy();
  }
}

}  // namespace
}  // namespace tambrel
