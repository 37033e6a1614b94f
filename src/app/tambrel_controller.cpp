#include "app/tambrel_controller.h"

#include <cstdlib>
#include <ctime>
#include <utility>

#include "compiler/tambrel.h"
#include "player/player.h"
#include "support/text_format.h"

namespace tambrel {

TTambrelController::TTambrelController(const TControllerParts& parts)
    : Parts(parts),
      View(*parts.View),
      Sink(*parts.View),
      FrontEndTap(*parts.FrontEnd, *this),
      Pipeline(FrontEndTap, Sink),
      WindowThread(std::this_thread::get_id()),
      FRouting(parts.Ports) {}

TTambrelController::~TTambrelController() {
  CloseSteps();
  TTambrel::SetProcessEventsHook(nullptr);
}

void TTambrelController::FormCreate() {
  if (Created) return;
  Created = true;
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  BaseCaption = BaseCaptionText;
  LoadHelpTexts();

  FRouting.OnDeviceError = [this](const std::string& text) { View.ShowDeviceError(text); };
  FRouting.OnLight = [this](int n) {
    if (PendingLights.fetch_or(1u << (n - 1)) == 0) Parts.Poster->Post({MsgLight, 0});
  };
  FRouting.OnSlideBytes = [this](std::span<const uint8_t> bytes) {
    if (Parts.SlideEntry) Parts.SlideEntry(bytes);
  };
  FRouting.OnTracePosted = [this] { Parts.Poster->Post({MsgTrace, 0}); };
  FRouting.OnSyncClock = [this](uint32_t time) { SyncClock(time); };
  FRouting.OnSendError = [this](int n, const std::string& text) {
    FRouting.QueueTrace(StrFormat("output %d: %s", n, text.c_str()));
  };
  FRouting.OnPortNotice = [this](const std::string& text) { WriteMessage(text); };
  FillMidiLists();

  FPlayer = Parts.NewPlayer();
  InstallPlayerCallbacks();
  Sink.WriteMessageFmt("timer scheduling: %s", FPlayer->Scheduling().c_str());
  Pipeline.OnLoaded = [this](std::unique_ptr<TParsedTambrel> tambrel) { OnLoaded(std::move(tambrel)); };
  Pipeline.Settings.ProcessEvents = Parts.ProcessEvents;
  TTambrel::SetProcessEventsHook(Parts.ProcessEvents);
  LoadedList.clear();

  ForceInitialStates();
  Parts.Timers->Start(TTimerId::Ports, PortDrainIntervalMs);
  ReadSettings();
}

void TTambrelController::InstallPlayerCallbacks() {
  FPlayer->OnData = [this](TPlayer&, const TTimedData& item) { PlayerData(item); };
  FPlayer->OnEnd = [this](TPlayer&, const TEndMarker& item) { PlayerEnd(item); };
  FPlayer->OnTrace = [this](TPlayer&, const std::string& text) { PlayerTrace(text); };
}

void TTambrelController::ForceInitialStates() {
  FPlaying = true;
  SetPlaying(false);
  FDoRepeat = true;
  SetRepeat(false);
  for (int n = 1; n <= TOutputRouting::OutputCount; ++n) ShowOutputState(n);
  ShowSlidesState();
  for (int n = 1; n <= 5; ++n) View.ShowHandlesDevice(n, 1);
  FStartTime = 0;
  View.ShowClock(FormatPlayTime(0));
  FParserDebug = true;
  SetParserDebug(false);
  FCompilerDebug = true;
  SetCompilerDebug(false);
  FTraceMode = true;
  SetTraceMode(false);
  // The preferences' check boxes start cleared, as their fields do.
  for (TCheck check : {TCheck::RemoveOnFinish, TCheck::RemoveOldOnLoad, TCheck::AutoEdit, TCheck::AutoPlay,
                       TCheck::AutoReload})
    View.ShowCheck(check, false);
}

void TTambrelController::FormShow() {
  if (Shown) return;
  Shown = true;
  View.SetActiveTab(TTab::Main);
  View.SetSlidePictureRoot(FPictureRoot);
  View.ShowSlideWindow();
  if (FAutoReload) Parts.Timers->Start(TTimerId::AutoReload, AutoReloadDelayMs);
}

bool TTambrelController::RequestClose() {
  if (Closed) return true;
  if (Compiling()) {
    CloseDeferred = true;
    return false;
  }
  if (!MayDiscardEditorText()) return false;
  SetPlaying(false);
  WriteSettings();
  CloseSteps();
  return true;
}

void TTambrelController::ExitCommand() {
  View.CloseWindow();
}

void TTambrelController::CloseSteps() {
  if (Closed) return;
  Closed = true;
  if (FPlayer) {
    FPlayer->SetEnabled(false);
    ReleaseHeldNotes();
    FPlayer->OnData = nullptr;
    FPlayer->OnEnd = nullptr;
    FPlayer->OnTrace = nullptr;
  }
  FRouting.SetDestroying();
  for (int i = 0; i < TimerCount; ++i) Parts.Timers->Stop(static_cast<TTimerId>(i));
  while (!LoadedList.empty()) LoadedList.pop_back();
  FPlayer.reset();
  FRouting.DiscardTrace();
  FRouting.CloseAll();
}

void TTambrelController::Dispatch(const TPostedMessage& message) {
  if (Closed) return;
  switch (message.Message) {
    case MsgTrace:
      DrainTrace();
      break;
    case MsgFinished:
      Finished(message.Param);
      break;
    case MsgLight: {
      const unsigned lights = PendingLights.exchange(0);
      for (int n = 1; n <= TOutputRouting::OutputCount; ++n)
        if ((lights & (1u << (n - 1))) != 0) LightIndicator(n);
      break;
    }
    default:
      break;
  }
}

void TTambrelController::TimerFired(TTimerId timer) {
  if (Closed) return;
  switch (timer) {
    case TTimerId::Led1:
    case TTimerId::Led2:
    case TTimerId::Led3:
    case TTimerId::Led4: {
      const int n = static_cast<int>(timer) - static_cast<int>(TTimerId::Led1) + 1;
      Parts.Timers->Stop(timer);
      View.ShowIndicator(n, false);
      break;
    }
    case TTimerId::Time:
      UpdateClock(Now());
      break;
    case TTimerId::AutoReload:
      Parts.Timers->Stop(timer);
      if (!FAutoReload) break;
      if (Compiling()) {
        AutoReloadDeferred = true;
        break;
      }
      LoadTambrel(FLastFile);
      break;
    case TTimerId::Ports:
      FRouting.DrainPorts();
      break;
  }
}

void TTambrelController::RunCompileCommand(const std::function<void()>& command) {
  static constexpr TCommand Refused[] = {TCommand::Load, TCommand::Unload, TCommand::UnloadAll,
                                         TCommand::Edit, TCommand::Save,   TCommand::CheckSyntax};
  ++CompileDepth;
  for (TCommand each : Refused) View.SetCommandEnabled(each, false);
  struct TEnd {
    TTambrelController& Self;
    ~TEnd() {
      --Self.CompileDepth;
      for (TCommand each : Refused) Self.View.SetCommandEnabled(each, true);
    }
  };
  {
    TEnd end{*this};
    command();
  }
  AfterCompile();
}

void TTambrelController::AfterCompile() {
  if (CloseDeferred) {
    CloseDeferred = false;
    View.CloseWindow();
    return;
  }
  for (const uint64_t serial : std::exchange(RemovalsDeferred, {})) RemoveFinished(serial);
  if (AutoReloadDeferred) {
    AutoReloadDeferred = false;
    if (FAutoReload) LoadTambrel(FLastFile);
  }
}

void TTambrelController::UpdateCaption() {
  const std::string caption = FPlaying ? BaseCaption + " - running" : BaseCaption;
  View.ShowCaption(caption);
}

void TTambrelController::SetFlag(bool& field, bool on, TCheck check) {
  if (field == on) return;
  field = on;
  View.ShowCheck(check, on);
}

std::vector<std::string> TTambrelController::LoadedNames() const {
  std::vector<std::string> names;
  for (const TLoaded& entry : LoadedList) names.push_back(entry.Name);
  return names;
}

}  // namespace tambrel
