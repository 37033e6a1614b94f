// Loading, unloading and the end of a Tambrel through the controller, on the real front end and
// player; re-entry while a compile lets the window handle its events; start-up and close order; the
// player timeline's listing and export of the Tambrels loaded into it.
#include <thread>

#include "app/player_timeline.h"
#include "controller_fixture.h"
#include "player/player.h"
#include "support/version_info.h"

namespace tambrel {
namespace {

class LoadTest : public ControllerTest {
 protected:
  std::string Song(const std::string& name, int items = 2) {
    std::string text;
    for (int i = 0; i < items; ++i) text += std::to_string(i) + ".0 out(1, $90, 60, 100);\n";
    return Script(name, text);
  }
};

TEST_F(LoadTest, LoadingWritesItsLinesAndListsTheTambrelUnloadingKeepsTheOrder) {
  Create();
  const std::string path = Song("a.tmb");
  Controller->LoadTambrel(path);
  EXPECT_EQ(View.Lines, (std::vector<std::string>{"Loading: " + path, "Syntax OK.", "Compilation OK."}));
  EXPECT_EQ(Controller->LastFile(), path);
  EXPECT_EQ(View.BusyChanges, (std::vector<bool>{true, false}));
  // The same file twice: two entries.
  for (const std::string& again : {path, Song("b.tmb"), Song("c.tmb")}) Controller->LoadTambrel(again);
  EXPECT_EQ(View.Loaded, (std::vector<std::string>{"a.tmb", "a.tmb", "b.tmb", "c.tmb"}));
  EXPECT_EQ(Controller->Player()->ItemCount(), 12);
  View.Selected = {2, 0};
  Controller->UnloadSelected();
  EXPECT_EQ(View.Loaded, (std::vector<std::string>{"a.tmb", "c.tmb"}));
  EXPECT_EQ(Controller->Player()->ItemCount(), 6);
  Controller->UnloadAll();
  EXPECT_TRUE(View.Loaded.empty());
  EXPECT_EQ(Controller->Player()->ItemCount(), 0);
}

// A failed load shows the Debug tab and keeps the others and the auto play, which restarts and plays;
// a load ended by an error says why and switches the auto play and reload off.
TEST_F(LoadTest, AFailedLoadKeepsTheOthersAndTheAutoPlayOneEndedByAnErrorDoesNot) {
  Create();
  Controller->SetRemoveOldOnLoad(true);
  Controller->LoadTambrel(Song("a.tmb"));
  Controller->SetAutoPlay(true);
  View.Tab = TTab::Main;
  Controller->LoadTambrel(Script("bad.tmb", "0 out(1, ;\n"));
  EXPECT_EQ(View.Tab, TTab::Debug);
  EXPECT_TRUE(HasLine("1 syntax error detected."));
  EXPECT_EQ(View.Loaded, (std::vector<std::string>{"a.tmb"}));
  for (const std::string& missing : {Folder + "missing.tmb", Folder}) {  // neither is parsed
    Controller->LoadTambrel(missing);
    EXPECT_TRUE(HasLine("File \"" + missing + "\" not found")) << missing;
  }
  EXPECT_TRUE(Controller->Playing() && Controller->Player()->Enabled());
  Controller->LoadTambrel(Song("b.tmb"));
  EXPECT_EQ(View.Loaded, (std::vector<std::string>{"b.tmb"}));
  EXPECT_EQ(Controller->Player()->ItemCount(), 3);
  Controller->SetAutoReload(true);
  View.Tab = TTab::Main;
  Controller->LoadTambrel(Script("overflow.tmb", "0 out(1, 2147483647 + 1);\n"));
  EXPECT_EQ(View.Lines.back(), "Integer overflow");
  EXPECT_EQ(View.Tab, TTab::Debug);
  EXPECT_FALSE(Controller->AutoPlay() || Controller->AutoReload());
  EXPECT_FALSE(View.Checks[TCheck::AutoReload]);
  EXPECT_EQ(View.BusyChanges.back(), false);
}

// The trace lines and the finish of the player's thread reach the message area on the window thread,
// in the order they arose.
TEST_F(LoadTest, AFinishedTambrelIsReportedAfterItsTraceAndRemovedWhenAsked) {
  Create();
  Controller->SetTraceMode(true);
  Controller->SetRemoveOnFinish(true);
  Controller->LoadTambrel(Song("a.tmb", 1));
  Controller->LoadTambrel(Song("b.tmb", 3));
  Controller->SetPlaying(true);
  EXPECT_EQ(View.Tab, TTab::Debug);
  const std::thread::id window = std::this_thread::get_id();
  bool offThread = false;
  View.OnLine = [&](const std::string&) { offThread |= std::this_thread::get_id() != window; };
  std::thread([this] { Advance(1000); }).join();
  View.Lines.clear();
  Pump();
  EXPECT_FALSE(offThread);
  EXPECT_EQ(View.Lines,
            (std::vector<std::string>{"00000:00.000  00001 90 3C 64", "00000:00.000  00001 90 3C 64",
                                      "00000:01.000  00001 90 3C 64", "Tambrel a.tmb finished"}));
  EXPECT_EQ(View.Loaded, (std::vector<std::string>{"b.tmb"}));
  // A finished message for a Tambrel no longer loaded does nothing.
  const std::vector<std::string> before = View.Lines;
  Controller->Dispatch({MsgFinished, 1});
  EXPECT_EQ(View.Lines, before);
  EXPECT_EQ(View.Loaded, (std::vector<std::string>{"b.tmb"}));
  Controller->Dispatch({MsgFinished, TTambrelController::NoTambrel});
  EXPECT_EQ(View.Lines.back(), "Some nil thing hit an endmarker ...");
}

// A compiled Tambrel as the compiler leaves it: its items in a batch of its own, handed to the player
// by Compile and withdrawn again before they are freed. Its end marker names the root given, so that
// an address can be reused on purpose, else the Tambrel itself.
class TFakeLoaded : public TLoadedTambrel {
 public:
  TFakeLoaded(std::string name, const std::vector<TExportItem>& items, uint32_t endTime,
              const void* root = nullptr)
      : Label(std::move(name)), TheRoot(root != nullptr ? root : this) {
    for (const TExportItem& item : items)
      Batch.Append(
          new TTimedData(item.Time, item.Bytes.data(), static_cast<int32_t>(item.Bytes.size()), item.Device));
    Batch.Append(new TEndMarker(endTime, static_cast<TTambrel*>(const_cast<void*>(TheRoot))));
  }
  ~TFakeLoaded() override {
    if (Player != nullptr) Player->RemoveItems(&Batch);
  }
  void SetOnError(std::function<void(const std::string&)>) override {}
  int32_t Compile(TPlayer* player, const std::string&) override {
    Player = player;
    player->AddItems(&Batch);
    return 0;
  }
  std::string Name() const override { return Label; }
  const TTambrel* Root() const override { return static_cast<const TTambrel*>(TheRoot); }

 private:
  std::string Label;
  const void* TheRoot;
  TPlayer* Player = nullptr;
  TTimedBatch Batch;
};

void Load(TPlayerTimeline& timeline, const std::string& name, const std::vector<TExportItem>& items,
          uint32_t endTime) {
  auto tambrel = std::make_unique<TFakeLoaded>(name, items, endTime);
  tambrel->Compile(timeline.Player(), "");
  timeline.AddLoaded(std::move(tambrel));
}

TEST(PlayerTimelineTest, ListsAndExportsTheMergedTimelineWithoutMovingThePlayer) {
  TPlayerTimeline timeline;
  Load(timeline, "a", {{0, 1, {0x90, 60, 1}}, {500, 1, {0x80, 60, 0}}}, 500);
  Load(timeline, "b", {{0, 1, {0x90, 64, 1}}, {0, 2, {0xC0, 5}}, {700, 2, {0xC0, 6}}}, 700);

  EXPECT_EQ(timeline.DumpLines(),
            (std::vector<std::string>{"TimedBatch", "Begin", "| 00000:00.000  00001 90 3C 01",
                                      "| 00000:00.000  00001 90 40 01", "| 00000:00.000  00002 C0 05",
                                      "| 00000:00.500  00001 80 3C 00", "| 00000:00.500  End marker",
                                      "| 00000:00.700  00002 C0 06", "| 00000:00.700  End marker", "End"}));

  uint32_t endTime = 0;
  const std::vector<TExportItem> items = timeline.DataItems(endTime);
  EXPECT_EQ(endTime, 700u);
  ASSERT_EQ(items.size(), 4u);
  // Simultaneous items of one device are joined, in load order, as the player delivers them.
  EXPECT_EQ(items[0].Bytes, (std::vector<uint8_t>{0x90, 60, 1, 0x90, 64, 1}));
  EXPECT_EQ(items[1].Device, 2);
  EXPECT_EQ(items[3].Time, 700u);
  EXPECT_EQ(timeline.Player()->Batch().ReadIndex(), 0);
}

// The real front end, whose parse result is replaced by an addressed Tambrel.
class TAddressedFrontEnd : public TScriptFrontEnd {
 public:
  std::unique_ptr<TParsedTambrel> TakeParseResult() override {
    TScriptFrontEnd::TakeParseResult();
    return std::make_unique<TFakeLoaded>("at " + std::to_string(NextEnd),
                                         std::vector<TExportItem>{{NextEnd - 1000, 1, {0x90, 60, 100}}},
                                         NextEnd, NextRoot);
  }
  uint32_t NextEnd = 0;
  int SharedRoot = 0;
  int OtherRoot = 0;
  const void* NextRoot = &SharedRoot;
};

TEST_F(LoadTest, AnUnloadedTambrelsPendingMarkerIsNotTakenForItsSuccessor) {
  TAddressedFrontEnd frontEnd;
  Parts.FrontEnd = &frontEnd;
  Create();
  Controller->SetRemoveOnFinish(true);
  const std::string path = Song("any.tmb");
  // Another Tambrel stays loaded, so that loading does not restart the player.
  frontEnd.NextRoot = &frontEnd.OtherRoot;
  frontEnd.NextEnd = 60000;
  Controller->LoadTambrel(path);
  frontEnd.NextRoot = &frontEnd.SharedRoot;
  frontEnd.NextEnd = 1000;
  Controller->LoadTambrel(path);
  Controller->ResetPlayer();
  Controller->SetPlaying(true);  // the item at 0 plays, the marker at 1000 is pending
  View.Selected = {1};
  Controller->UnloadSelected();
  // The next Tambrel at the same address: the pending marker is not its end.
  frontEnd.NextEnd = 5000;
  Controller->LoadTambrel(path);
  Advance(1000);
  Pump();
  EXPECT_EQ(View.Loaded, (std::vector<std::string>{"at 60000", "at 5000"}));
  Advance(4000);
  Pump();
  EXPECT_EQ(View.Loaded, (std::vector<std::string>{"at 60000"}));
}

TEST_F(LoadTest, CommandsWaitWhileACompileHandlesEvents) {
  bool armed = false;
  int rounds = 0;
  Parts.ProcessEvents = [&] {
    if (!armed) return;
    armed = false;
    ++rounds;
    Controller->LoadTambrel(Song("again.tmb"));
    Controller->UnloadAll();
    Pump();  // "first" has finished: its removal waits for the compile
    EXPECT_EQ(View.Loaded, (std::vector<std::string>{"first.tmb"}));
    EXPECT_FALSE(Controller->RequestClose());
    EXPECT_FALSE(View.Enabled[TCommand::Load]);
  };
  Create();
  Controller->SetAutoPlay(true);
  Controller->SetAutoReload(true);
  Controller->SetRemoveOnFinish(true);
  Controller->LoadTambrel(Song("first.tmb", 1));
  Advance(10);  // its end marker played
  bool closed = false;
  View.OnClose = [&] { closed = Controller->RequestClose(); };
  armed = true;
  Controller->LoadTambrel(Song("second.tmb"));
  EXPECT_EQ(rounds, 1);
  EXPECT_FALSE(HasLine("Loading: " + Folder + "again.tmb"));
  // The refused load did not count as a failed one.
  EXPECT_TRUE(Controller->AutoReload() && Controller->AutoPlay());
  EXPECT_TRUE(View.Enabled[TCommand::Load]);
  // The close waited for the compile to end, then ran.
  EXPECT_EQ(View.CloseRequests, 1);
  EXPECT_TRUE(closed);
}

// At start the help texts, the version values and the program's folder are shown, a missing text says
// so; the auto reload runs once the window is shown.
TEST_F(LoadTest, StartShowsTheHelpTextsAndAutoReloadRunsOnceAfterTheWindowIsShown) {
  const std::string path = Song("last.tmb");
  WriteSettingsFile("[Settings]\nAutoReload=1\nLastFile=" + path + "\n");
  Script("QuickStart.txt", "quick");
  LoadVersionInfo();
  Create();
  EXPECT_EQ(View.Help[THelpText::QuickStart], "quick");
  EXPECT_EQ(View.Help[THelpText::More], "File \"" + Folder + "More.txt\" not found.");
  EXPECT_EQ(View.AppPath, Folder);
  EXPECT_EQ(View.Versions[7], "Tambrel");
  Controller->FormShow();
  EXPECT_EQ(Timers.Intervals[TTimerId::AutoReload], 1500);
  EXPECT_EQ(View.Tab, TTab::Main);
  EXPECT_EQ(View.SlideShows, 1);
  Controller->TimerFired(TTimerId::AutoReload);
  EXPECT_FALSE(Timers.Running(TTimerId::AutoReload));
  EXPECT_EQ(View.Lines.front(), "Loading: " + path);
  // Shown again (restored from minimised): nothing is armed again.
  Controller->FormShow();
  EXPECT_FALSE(Timers.Running(TTimerId::AutoReload));
  EXPECT_EQ(View.SlideShows, 1);
}

TEST_F(LoadTest, CloseWritesStopsUnloadsAndClosesInOrder) {
  Create();
  Controller->SelectOutput(2, "Synth B");
  Controller->SetOutputActive(2, true);
  Controller->LoadTambrel(Song("a.tmb"));
  Controller->SetPlaying(true);
  EXPECT_TRUE(Ports[1].IsOpen);
  EXPECT_TRUE(Controller->RequestClose());
  EXPECT_FALSE(Controller->Playing());
  EXPECT_EQ(Controller->Player(), nullptr);
  EXPECT_FALSE(Ports[1].IsOpen);
  EXPECT_NE(SettingsText().find("MidiOutSelection2=Synth B\nMidiActive1=0\nMidiActive2=1\n"),
            std::string::npos);
  for (int i = 0; i < TimerCount; ++i) EXPECT_FALSE(Timers.Running(static_cast<TTimerId>(i)));
  // Nothing reaches the closed controller any more.
  Controller->Dispatch({MsgTrace, 0});
  EXPECT_TRUE(Controller->RequestClose());
}

}  // namespace
}  // namespace tambrel
