#pragma once
// TTambrelController: the main window's state and commands without a toolkit. It owns the player, the
// list of loaded Tambrels and the routing of played items; it starts and shuts down in a fixed order,
// reads and writes the settings file, and writes every message into the message area. The window
// observes it through TMainView and forwards every control event to one of its setters or commands.
//
// Threads: everything runs on the window thread, except the player's callbacks (PlayerData through the
// routing, PlayerEnd, and PlayerTrace for a failed tick), which run on the player's timer thread and
// only post to the window thread, send MIDI and move StartTime.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "app/compile_pipeline.h"
#include "app/editor_text.h"
#include "app/main_view.h"
#include "app/message_sink.h"
#include "app/output_routing.h"
#include "app/window_services.h"

namespace tambrel {

class TPlayer;
class TEndMarker;
class TTimedData;

// Everything the controller is built on.
struct TControllerParts {
  TMainView* View = nullptr;
  TWindowTimers* Timers = nullptr;
  TDialogs* Dialogs = nullptr;
  TWindowPoster* Poster = nullptr;
  const TScreens* Screens = nullptr;
  TFrontEnd* FrontEnd = nullptr;
  // Output N's MIDI port is Ports[N - 1]; the ports outlive the controller.
  std::array<TOutputPort*, TOutputRouting::OutputCount> Ports{};
  // The MIDI service's output list, the virtual "Tambrel" port first.
  std::function<std::vector<std::string>()> DeviceNames;
  std::function<std::unique_ptr<TPlayer>()> NewPlayer;
  // The millisecond counter, wrapping at 2^32.
  std::function<uint32_t()> Milliseconds;
  // Lets the window handle its pending events once (during a compile).
  std::function<void()> ProcessEvents;
  // The slide window's command entry (any thread); bytes are dropped while there is none.
  std::function<void(std::span<const uint8_t>)> SlideEntry;
  std::string AppPath;       // with its trailing '/'; the help texts lie here
  std::string IniFileName;   // the settings file
  std::string DumpFileName;  // the tree dump written while the compiler's debug switch is on
};

// Which modifier keys are held with a key.
struct TKeyModifiers {
  bool Alt = false;
  bool Shift = false;
  bool Ctrl = false;
  bool Meta = false;
};

class TTambrelController {
 public:
  static constexpr const char* BaseCaptionText = "Tambrel";
  static constexpr TRect DesignBounds{6, 135, 722, 480};
  static constexpr int LedIntervalMs = 55;
  static constexpr int ClockIntervalMs = 200;
  static constexpr int AutoReloadDelayMs = 1500;
  static constexpr int PortDrainIntervalMs = 200;
  static constexpr uint32_t MaxGotoMinutes = 35791;  // minutes * 60000 still fits 32 signed bits
  // The serials a finished message carries for an end marker of no Tambrel, and of one that is no
  // longer loaded.
  static constexpr uint64_t NoTambrel = 0;
  static constexpr uint64_t GoneTambrel = UINT64_MAX;

  explicit TTambrelController(const TControllerParts& parts);
  ~TTambrelController();  // runs the closing steps that have not run
  TTambrelController(const TTambrelController&) = delete;
  TTambrelController& operator=(const TTambrelController&) = delete;

  // Life cycle (tambrel_controller.cpp).
  void FormCreate();
  // Runs once, however often the window is shown again.
  void FormShow();
  // The window asks to close (Exit, the window manager, a signal). True when the closing steps have
  // run and the window may go; false when the close waits for a running compile to end, after which
  // the view is told to close.
  bool RequestClose();
  void ExitCommand();  // E&xit: closes the window

  // Window-thread entry points of the toolkit.
  void Dispatch(const TPostedMessage& message);
  void TimerFired(TTimerId timer);

  // The message area.
  TMessageSink& Messages() { return Sink; }
  void WriteMessage(const std::string& text) { Sink.WriteMessage(text); }

  // Settings (controller_settings.cpp).
  void ReadSettings();
  void WriteSettings();

  // Preferences and debug switches (controller_setters.cpp).
  void SetParserDebug(bool on);
  void SetCompilerDebug(bool on);
  void SetTraceMode(bool on);
  void SetRemoveOldOnLoad(bool on);
  void SetRemoveOnFinish(bool on);
  void SetAutoEdit(bool on);
  void SetAutoPlay(bool on);
  void SetAutoReload(bool on);
  void SetProjectRoot(const std::string& dir);
  void SetPictureRootSetting(const std::string& dir);

  // Play control and the clock (controller_play.cpp).
  void SetPlaying(bool on);
  void SetRepeat(bool on);
  void ResetPlayer();
  void NextItem();
  // Throws std::runtime_error for a refused value (the general error display shows it).
  void GotoTimeCommand();
  void UpdateClock(uint32_t now);
  void SyncClock(uint32_t itemTime);  // player's thread
  // Whether the key is a hot key where the window is now; key is '1'..'5' of the main keyboard or an
  // upper-case letter.
  bool IsHotKey(char key, const TKeyModifiers& modifiers) const;
  // True when the key was a hot key and has been acted on (it must then go nowhere else).
  bool FormKeyDown(char key, const TKeyModifiers& modifiers);

  // Routing and indicators (controller_routing.cpp).
  void FillMidiLists();
  void SelectOutput(int n, const std::string& name);
  void SetOutputActive(int n, bool on);
  void SetHandlesDevice(int n, int32_t value);  // clamped to 1..65535
  void SetSlidesActive(bool on);
  void SetSlidesDevice(int32_t value);  // clamped to 1..65535
  void LightIndicator(int n);
  void DrainTrace();

  // Loading (controller_load.cpp).
  void LoadTambrel(const std::string& path);
  bool CompileFile(const std::string& path, TPlayer* player);
  void UnloadSelected();
  void UnloadAll();
  void RemoveLoaded(size_t index);
  void RefreshLoadedList();
  bool Compiling() const { return CompileDepth > 0; }

  // Main tab (controller_main_tab.cpp).
  void LoadCommand();         // &Load ...: a Tambrel chosen in the open dialog
  void EditCommand();         // &Edit: a file chosen in the open dialog into the editor
  void SaveCommand();         // Sa&ve ...: the editor's text to a file chosen in the save dialog
  void CheckSyntaxCommand();  // S&yntax chk: the edited file as last saved, without a player
  // Reads the file first: on failure the error is shown and nothing changes. Unsaved text in the
  // editor is replaced only when the user agrees.
  void EditorLoad(const std::string& path);
  // Writes the editor's text to path in the edited file's encoding and line ends, atomically. Throws
  // with the error's text; the file and the edited file's name are then unchanged.
  void EditorSave(const std::string& path);
  // True when the editor holds no unsaved changes or the user lets them go.
  bool MayDiscardEditorText();
  void StartSlides();

  // Project utilities (controller_utils.cpp).
  void BrowseProjectRoot();
  void BrowsePictureRoot();
  void GeneratePatchListCommand();
  // Writes the patch list of the project root's patch files (listed again first) to path. Throws for
  // a file that cannot be written, or one of the listed patch files.
  void GeneratePatchList(const std::string& path);
  void RefreshPatchFiles();
  const std::vector<std::string>& PatchFiles() const { return FPatchFiles; }

  // Debug and Help tabs (controller_debug.cpp).
  void DumpPlayer();
  void ClearDisplay();
  void ShowResources();
  void LoadHelpTexts();
  void OpenEmail();
  void OpenWeb();

  // State, for the window and for tests.
  bool Playing() const { return FPlaying; }
  bool DoRepeat() const { return FDoRepeat; }
  bool ParserDebug() const { return FParserDebug; }
  bool CompilerDebug() const { return FCompilerDebug; }
  bool TraceMode() const { return FTraceMode; }
  bool RemoveOldOnLoad() const { return FRemoveOldOnLoad; }
  bool RemoveOnFinish() const { return FRemoveOnFinish; }
  bool AutoEdit() const { return FAutoEdit; }
  bool AutoPlay() const { return FAutoPlay; }
  bool AutoReload() const { return FAutoReload; }
  const std::string& LastFile() const { return FLastFile; }
  const std::string& EditFileName() const { return FEditFileName; }
  const std::string& ProjectRoot() const { return FProjectRoot; }
  const std::string& PictureRoot() const { return FPictureRoot; }
  uint32_t GotoMinutes() const { return FGotoMinutes; }
  const TFileDialogState& OpenDialogState() const { return OpenDialog; }
  const TEditorFileFormat& EditFormat() const { return FEditFormat; }
  uint32_t StartTime() const { return FStartTime.load(); }
  TPlayer* Player() { return FPlayer.get(); }
  const TOutputRouting& Routing() const { return FRouting; }
  std::vector<std::string> LoadedNames() const;

 private:
  class TViewSink : public TMessageSink {
   public:
    explicit TViewSink(TMainView& view) : View(view) {}

   private:
    void WriteLine(const std::string& line) override { View.TerminalWriteLn(line); }
    TMainView& View;
  };

  // The front end as the pipeline sees it: notes the root of each parse result before it is compiled,
  // so that its end marker is known to the end callback from the moment its items reach the player.
  class TFrontEndTap : public TFrontEnd {
   public:
    TFrontEndTap(TFrontEnd& inner, TTambrelController& owner) : Inner(inner), Owner(owner) {}
    void OpenSource(const std::string& path) override { Inner.OpenSource(path); }
    void SetTraceOn(bool on) override { Inner.SetTraceOn(on); }
    void ResetInput() override { Inner.ResetInput(); }
    void ClearParseResult() override { Inner.ClearParseResult(); }
    int Parse() override { return Inner.Parse(); }
    int32_t ErrorCount() const override { return Inner.ErrorCount(); }
    const std::vector<std::string>& Messages() const override { return Inner.Messages(); }
    std::unique_ptr<TParsedTambrel> TakeParseResult() override;

   private:
    TFrontEnd& Inner;
    TTambrelController& Owner;
  };

  struct TLoaded {
    std::string Name;
    uint64_t Serial = 0;
    const void* Root = nullptr;  // what the Tambrel's end marker names as its source
    std::unique_ptr<TParsedTambrel> Tambrel;
  };

  // Runs a command that compiles: the commands that cannot run meanwhile are disabled, and what
  // arrived for them (a close, a finished Tambrel to remove, the auto reload) runs once it has ended.
  void RunCompileCommand(const std::function<void()>& command);
  void AfterCompile();
  void ForceInitialStates();
  void InstallPlayerCallbacks();
  void CloseSteps();
  void UpdateCaption();
  void ShowOutputState(int n);
  void ShowSlidesState();
  void SetFlag(bool& field, bool on, TCheck check);
  uint32_t Now() const { return Parts.Milliseconds(); }
  void ReleaseHeldNotes();
  void ResumeRefusedStart();
  void OnLoaded(std::unique_ptr<TParsedTambrel> tambrel);
  void AddLoaded(std::unique_ptr<TParsedTambrel> tambrel);
  void UnloadAllNow();
  void Finished(uint64_t serial);
  void RemoveFinished(uint64_t serial);
  void RegisterRoot(const void* root, uint64_t serial);
  void UnregisterSerial(uint64_t serial);
  void ApplyBounds(const class TIniFile& file);
  // The directory picker for a root; dir is the chosen one with its trailing '/'.
  bool ChooseRoot(const std::string& title, std::string& dir);

  // Player's thread.
  void PlayerData(const TTimedData& item);
  void PlayerEnd(const TEndMarker& item);
  void PlayerTrace(const std::string& text);

  TControllerParts Parts;
  TMainView& View;
  TViewSink Sink;
  TFrontEndTap FrontEndTap;
  TCompilePipeline Pipeline;
  const std::thread::id WindowThread;

  // The controller's fields; window thread only unless said otherwise.
  std::vector<TLoaded> LoadedList;
  std::unique_ptr<TPlayer> FPlayer;
  bool FPlaying = false;
  std::string BaseCaption;
  bool FParserDebug = false;
  bool FCompilerDebug = false;
  bool FTraceMode = false;
  bool FDoRepeat = false;
  TOutputRouting FRouting;              // the outputs' and the slide device's state, and the trace queue
  std::atomic<uint32_t> FStartTime{0};  // also written by SyncClock on the player's thread
  bool FRemoveOldOnLoad = false;
  bool FRemoveOnFinish = false;
  bool FAutoEdit = false;
  std::string FLastFile;
  std::string FEditFileName;
  std::string FProjectRoot;
  std::string FPictureRoot;
  uint32_t FGotoMinutes = 0;
  bool FAutoPlay = false;
  bool FAutoReload = false;
  TEditorFileFormat FEditFormat;  // how the editor's text goes back into its file
  std::vector<std::string> FPatchFiles;
  TFileDialogState OpenDialog;  // shared by load and edit
  TFileDialogState SaveDialog;
  TFileDialogState OpenDialogProject;
  TFileDialogState SaveDialogList;

  bool Created = false;
  bool Shown = false;
  bool Closed = false;
  bool SettingsUnreadable = false;  // the settings file existed but was not read: it is not overwritten
  int CompileDepth = 0;
  bool CloseDeferred = false;
  bool AutoReloadDeferred = false;
  std::vector<uint64_t> RemovalsDeferred;  // finished Tambrels to remove once the compile has ended
  uint64_t NextSerial = 1;
  uint64_t ParsedSerial = 0;  // the serial given to the Tambrel of the running compile, 0 for none
  bool MidiListsFilled = false;

  // Indicators the player's thread asked to light, one bit per output.
  std::atomic<unsigned> PendingLights{0};

  // The end callback finds the serial of a marker's Tambrel here.
  std::mutex SerialLock;
  std::vector<std::pair<const void*, uint64_t>> SerialOfRoot;  // guarded by SerialLock
  // A Tambrel just unloaded: its end marker may still be the player's pending item, and its address
  // may already belong to a new Tambrel. Cleared by the next delivery.
  std::atomic<const void*> StaleRoot{nullptr};
};

}  // namespace tambrel
