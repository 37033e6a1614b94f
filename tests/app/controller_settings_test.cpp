// The controller's start-up state and its settings file: defaults, the exact file written, a round
// trip, malformed and unreadable files, and the routing state the file selects.
#include <filesystem>
#include <string>

#include "app/settings_file.h"
#include "controller_fixture.h"
#include "player/player.h"

namespace tambrel {
namespace {

using SettingsTest = ControllerTest;

constexpr const char* DefaultFile =
    "[Settings]\n"
    "MidiActive1=0\nMidiActive2=0\nMidiActive3=0\nMidiActive4=0\n"
    "SlidesActive=0\n"
    "MidiOutMapDev1=1\nMidiOutMapDev2=1\nMidiOutMapDev3=1\nMidiOutMapDev4=1\n"
    "SlidesMapDev=1\n"
    "DoRepeat=0\nRemoveOldOnLoad=0\nRemoveOnFinish=0\nAutoEdit=0\n"
    "ProjectRoot=\nPictureRoot=\nLastFile=\nAutoPlay=0\nAutoReload=0\n"
    "[Position]\nLeft=6\nTop=135\nWidth=722\nHeight=480\n"
    "[Debug]\nLexYacc=0\nCompiler=0\nTrace=0\n";

TEST_F(SettingsTest, FirstStartShowsTheDefaultsAndWritesThemInOrder) {
  Create();
  EXPECT_EQ(View.Caption, "Tambrel");
  EXPECT_EQ(View.Clock, "00000:00.000");
  EXPECT_EQ(View.Toggles[TToggle::StartStop].Caption, "&Start");
  EXPECT_FALSE(View.Toggles[TToggle::DoRepeat].Down);
  for (int n = 1; n <= 4; ++n) {
    EXPECT_EQ(View.Selections[n], "Tambrel") << n;
    EXPECT_EQ(View.Toggles[static_cast<TToggle>(static_cast<int>(TToggle::MidiActive1) + n - 1)].Caption,
              "&" + std::to_string(n) + " Inactive");
    EXPECT_EQ(View.DeviceLists[n], (std::vector<std::string>{"Tambrel", "Synth A", "Synth B"}));
  }
  EXPECT_EQ(View.Toggles[TToggle::SlidesActive].Caption, "&5 Inactive");
  for (int n = 1; n <= 5; ++n) EXPECT_EQ(View.Handles[n], 1);
  for (const auto& [check, on] : View.Checks) EXPECT_FALSE(on);
  EXPECT_TRUE(Timers.Running(TTimerId::Ports));
  EXPECT_FALSE(Timers.Running(TTimerId::Time));
  EXPECT_TRUE(Controller->RequestClose());
  EXPECT_EQ(SettingsText(), DefaultFile);
}

TEST_F(SettingsTest, WhatIsReadIsWrittenBackAndUnknownLinesSurvive) {
  const std::string file =
      "; kept comment\n"
      "[Settings]\n"
      "MidiOutSelection1=SYNTH A\n"
      "MidiOutSelection2=Synth B\n"
      "Future=keep me\n"
      "MidiActive1=1\nMidiActive2=0\nSlidesActive=1\n"
      "MidiOutMapDev1=7\nSlidesMapDev=9\n"
      "DoRepeat=1\nRemoveOldOnLoad=1\nRemoveOnFinish=1\nAutoEdit=1\n"
      "ProjectRoot=/p/\nPictureRoot=/pics/\nLastFile=/s/a b.tmb\nAutoPlay=1\nAutoReload=1\n"
      "no equals sign here\n"
      "[Position]\nLeft=10\nTop=20\nWidth=900\nHeight=700\n"
      "[Debug]\nLexYacc=1\nCompiler=1\nTrace=1\n"
      "[Other]\nx=y\n";
  WriteSettingsFile(file);
  Create();
  const TTambrelController& c = *Controller;
  EXPECT_TRUE(c.DoRepeat() && c.RemoveOldOnLoad() && c.RemoveOnFinish() && c.AutoEdit() && c.AutoPlay() &&
              c.AutoReload() && c.ParserDebug() && c.CompilerDebug() && c.TraceMode());
  EXPECT_TRUE(Ports[0].IsOpen);
  EXPECT_EQ(Ports[0].Name, "Synth A");
  EXPECT_EQ(View.Toggles[TToggle::MidiActive1].Caption, "&1 Active");
  EXPECT_EQ(View.Handles, (std::map<int, int32_t>{{1, 7}, {2, 1}, {3, 1}, {4, 1}, {5, 9}}));
  EXPECT_TRUE(View.Toggles[TToggle::SlidesActive].Down);
  EXPECT_EQ(View.Edits[TEditField::ProjectRoot], "/p/");
  EXPECT_EQ(c.LastFile(), "/s/a b.tmb");
  EXPECT_EQ(c.PictureRoot(), "/pics/");
  EXPECT_EQ(View.Bounds, (TRect{10, 20, 900, 700}));
  // A value with a line break is not written, the one read stays.
  Controller->SetProjectRoot("/new\n[Other]\nInjected=1/");
  EXPECT_TRUE(Controller->RequestClose());
  EXPECT_EQ(View.Errors.size(), 1u);
  // Output 2 was inactive: its older selection stays as the file had it; output 1 writes its name.
  const std::string written = SettingsText();
  for (const char* line :
       {"; kept comment\n", "MidiOutSelection1=Synth A\n", "MidiOutSelection2=Synth B\n", "Future=keep me\n",
        "no equals sign here\n", "[Other]\nx=y\n",
        "ProjectRoot=/p/\nPictureRoot=/pics/\nLastFile=/s/a b.tmb\nAutoPlay=1\nAutoReload=1\n",
        "MidiOutMapDev1=7\n", "Left=10\nTop=20\nWidth=900\nHeight=700\n", "Trace=1\n"})
    EXPECT_NE(written.find(line), std::string::npos) << line;
  EXPECT_EQ(written.find("Injected"), std::string::npos);
}

struct TMalformed {
  const char* Name;
  const char* Settings;
  const char* Position;
  TRect Bounds;
  int32_t Device1;
  bool Repeat;
};

TEST_F(SettingsTest, MalformedValuesGiveDefaultsOrClampedValues) {
  constexpr TRect Design{6, 135, 722, 480};
  const TMalformed cases[] = {
      {"not numbers", "MidiOutMapDev1=seven\nDoRepeat=yes", "Left=abc\nTop=1.5", Design, 1, false},
      {"huge sizes", "", "Width=100000\nHeight=99999999999", {0, 135, 1920, 480}, 1, false},
      {"off the screen", "", "Left=5000\nTop=-3", {0, 0, 722, 480}, 1, false},
      {"tiny window", "", "Width=10\nHeight=-5", Design, 1, false},
      {"device too large", "MidiOutMapDev1=70000", "", Design, 65535, false},
      {"device zero", "MidiOutMapDev1=0", "", Design, 1, false},
      {"any integer is a boolean", "DoRepeat=-2", "", Design, 1, true},
      {"a long integer too", "DoRepeat=000000000000000000001", "", Design, 1, true},
      {"spaces and letter case", "  doREPEAT =  1  ", "", Design, 1, true},
      {"lines without a key", "DoRepeat\n=1\n[", "", Design, 1, false},
      {"on the second screen", "", "Left=2000\nTop=300", {2000, 300, 722, 480}, 1, false},
      {"past its right edge", "", "Left=2600\nTop=300", {1920, 300, 722, 480}, 1, false},
  };
  // The screen holding the saved position bounds the window.
  Screens.Areas = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
  for (const TMalformed& test : cases) {
    WriteSettingsFile(std::string("[Settings]\n") + test.Settings + "\n[Position]\n" + test.Position + "\n");
    Create();
    EXPECT_EQ(View.Bounds, test.Bounds) << test.Name;
    EXPECT_EQ(Controller->Routing().Slot(1).HandlesDevice, test.Device1) << test.Name;
    EXPECT_EQ(View.Handles[1], test.Device1) << test.Name;
    EXPECT_EQ(Controller->DoRepeat(), test.Repeat) << test.Name;
    Destroy();
  }
}

TEST_F(SettingsTest, AFileThatCannotBeReadIsNeitherUsedNorOverwritten) {
  // A folder where the file should be, and a file too large to be ours.
  for (const bool folder : {true, false}) {
    std::filesystem::remove_all(Parts.IniFileName);
    if (folder)
      std::filesystem::create_directory(Parts.IniFileName);
    else
      WriteSettingsFile("[Settings]\nDoRepeat=1\n" + std::string(MaxSettingsFileSize, ';'));
    const auto before = std::filesystem::last_write_time(Parts.IniFileName);
    Create();
    EXPECT_FALSE(Controller->DoRepeat());
    ASSERT_FALSE(StartLines.empty());
    EXPECT_NE(StartLines.back().find("not read"), std::string::npos) << StartLines.back();
    View.Errors.clear();
    EXPECT_TRUE(Controller->RequestClose());
    EXPECT_EQ(View.Errors.size(), 1u);
    EXPECT_EQ(std::filesystem::last_write_time(Parts.IniFileName), before);
    EXPECT_EQ(folder, std::filesystem::is_directory(Parts.IniFileName));
    Destroy();
  }
}

TEST_F(SettingsTest, AFailedWriteIsReportedAndTheCloseGoesOn) {
  Parts.IniFileName = Folder + "missing-folder/tambrel.INI";
  Create();
  EXPECT_TRUE(Controller->RequestClose());
  ASSERT_EQ(View.Errors.size(), 1u);
  EXPECT_NE(View.Errors[0].find("not saved"), std::string::npos);
}

TEST_F(SettingsTest, OutputsFollowTheRoutingRules) {
  WriteSettingsFile("[Settings]\nMidiOutSelection3=Gone Synth\nMidiActive3=1\n");
  Ports[1].FailOpen = true;
  Create();
  // A saved device that is no longer listed: no selection, and activating it leaves it off.
  EXPECT_EQ(View.Selections[3], "");
  EXPECT_FALSE(View.Toggles[TToggle::MidiActive3].Down);
  EXPECT_EQ(Ports[2].Opens, 0);
  // One never chosen opens the first device listed.
  Controller->SetOutputActive(1, true);
  EXPECT_TRUE(Ports[0].IsOpen && Ports[0].Name == "Tambrel");
  // A failed open switches the output off with an empty name and shows the device's error.
  Controller->SelectOutput(2, "synth b");
  EXPECT_EQ(View.Selections[2], "Synth B");
  Controller->SetOutputActive(2, true);
  EXPECT_FALSE(Controller->Routing().Slot(2).Active);
  EXPECT_EQ(View.Selections[2], "");
  EXPECT_EQ(View.Toggles[TToggle::MidiActive2].Caption, "&2 Inactive");
  EXPECT_EQ(View.DeviceErrors, (std::vector<std::string>{"MIDI output Device 'Synth B' not installed"}));
}

TEST_F(SettingsTest, EachSetterTouchesItsControlOnlyOnAChange) {
  Create();
  const int before = View.CheckCalls;
  Controller->SetAutoPlay(true);
  Controller->SetAutoPlay(true);
  Controller->SetParserDebug(false);
  EXPECT_EQ(View.CheckCalls, before + 1);
  EXPECT_TRUE(View.Checks[TCheck::AutoPlay]);
  View.Handles.clear();
  Controller->SetHandlesDevice(2, 1);
  EXPECT_TRUE(View.Handles.empty());
  Controller->SetHandlesDevice(2, -4);  // clamped to the spin box's range: unchanged
  EXPECT_TRUE(View.Handles.empty());
  Controller->SetSlidesDevice(123456);
  EXPECT_EQ(View.Handles[5], 65535);
  EXPECT_EQ(Controller->Routing().SlidesDevice(), 65535);
}

}  // namespace
}  // namespace tambrel
