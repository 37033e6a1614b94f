#include "cli/cli_play.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <deque>
#include <mutex>
#include <set>
#include <utility>

#include "app/message_sink.h"
#include "app/output_routing.h"
#include "cli/wake_pipe.h"
#include "player/player.h"
#include "support/text_format.h"
#include "support/tick_count.h"

namespace tambrel {

namespace {

constexpr int ClockStepMs = 200;

// Events the player's thread hands to the waiting thread, in the order they happened.
class TPlayEvents {
 public:
  explicit TPlayEvents(const TWakePipe& pipe) : Pipe(pipe) {}
  void Push(std::string text, bool isEnd) {
    {
      std::lock_guard<std::mutex> guard(Lock);
      Queue.push_back({std::move(text), isEnd});
    }
    Pipe.Post();
  }
  struct TEvent {
    std::string Text;
    bool IsEnd = false;  // else a send error
  };
  std::deque<TEvent> TakeAll() {
    std::lock_guard<std::mutex> guard(Lock);
    return std::exchange(Queue, {});
  }

 private:
  const TWakePipe& Pipe;
  std::mutex Lock;
  std::deque<TEvent> Queue;  // guarded by Lock
};

// The message sink of play's standard output: wipes the status line before a line is written.
class TPlayOutput : public TMessageSink {
 public:
  TPlayOutput(std::FILE* stream, bool terminal) : Stream(stream), Terminal(terminal) {}
  void WriteMessage(const std::string& text) override {
    ClearStatus();
    std::fprintf(Stream, "%s\n", text.c_str());
    std::fflush(Stream);
  }
  void ShowStatus(const std::string& text) {
    if (!Terminal) return;
    std::fprintf(Stream, "\r%s", text.c_str());
    std::fflush(Stream);
    StatusShown = true;
  }
  void ClearStatus() {
    if (!StatusShown) return;
    std::fputs("\r\033[K", Stream);
    StatusShown = false;
  }

 private:
  std::FILE* Stream;
  bool Terminal;
  bool StatusShown = false;
};

std::string UnknownPortText(const std::string& name) {
  return "unknown MIDI port \"" + name + "\" (tambrel-cli ports lists them)";
}

// One line naming the device numbers that have items but no output, since the trace lists every item.
void ReportUnroutedDevices(const TCliOptions& options, TTimeline& timeline, bool anyOut, std::FILE* err) {
  std::set<int32_t> handled;
  for (size_t i = 0; i < options.OutPort.size(); ++i)
    if (anyOut ? options.OutPort[i].has_value() : i == 0) handled.insert(options.MapDevice[i]);
  std::set<int32_t> unrouted;
  uint32_t endTime = 0;
  for (const TExportItem& item : timeline.DataItems(endTime))
    if (handled.count(item.Device) == 0) unrouted.insert(item.Device);
  if (unrouted.empty()) return;
  std::string list;
  for (int32_t device : unrouted) list += (list.empty() ? "" : ", ") + std::to_string(device);
  std::fprintf(err, "tambrel-cli: no output handles device%s %s: %s items are not sent\n",
               unrouted.size() == 1 ? "" : "s", list.c_str(), unrouted.size() == 1 ? "its" : "their");
  std::fflush(err);
}

}  // namespace

int PlayTimeline(const TCliOptions& options, TCliSession& session, TTimeline& timeline, int tambrelCount,
                 const TCliStreams& streams) {
  auto fail = [&](const std::string& text) {
    std::fprintf(streams.Err, "tambrel-cli: %s\n", text.c_str());
    std::fflush(streams.Err);
    return ExitUsageOrFile;
  };

  const std::vector<std::string> names = session.PortNames();
  bool anyOut = false;
  for (const auto& port : options.OutPort) {
    if (!port) continue;
    anyOut = true;
    // Port names are taken exactly as listed, although the routing itself would accept any letter case.
    if (std::find(names.begin(), names.end(), *port) == names.end()) return fail(UnknownPortText(*port));
  }
  if (names.empty()) return fail("no MIDI output available");

  std::array<std::unique_ptr<TOutputPort>, TOutputRouting::OutputCount> owned;
  std::array<TOutputPort*, TOutputRouting::OutputCount> ports{};
  for (size_t i = 0; i < owned.size(); ++i) {
    owned[i] = session.NewPort(static_cast<int>(i) + 1);
    ports[i] = owned[i].get();
  }
  TOutputRouting routing(ports);
  std::string deviceError;
  routing.OnDeviceError = [&deviceError](const std::string& text) { deviceError = text; };
  routing.FillMidiLists(names);
  for (int n = 1; n <= TOutputRouting::OutputCount; ++n) {
    const size_t i = static_cast<size_t>(n - 1);
    routing.SetHandlesDevice(n, options.MapDevice[i]);
    const bool wanted = anyOut ? options.OutPort[i].has_value() : n == 1;
    if (!wanted) continue;
    const std::string name = anyOut ? *options.OutPort[i] : names.front();
    deviceError.clear();
    routing.SelectOutput(n, name);
    if (deviceError.empty()) routing.SetOutputActive(n, true);
    if (!deviceError.empty() || !routing.Slot(n).Opened) {
      routing.CloseAll();
      return fail(StrFormat("output %d: cannot open \"%s\": %s", n, name.c_str(),
                            deviceError.empty() ? "not opened" : deviceError.c_str()));
    }
  }

  ReportUnroutedDevices(options, timeline, anyOut, streams.Err);

  TWakePipe wake;
  TPlayEvents events(wake);
  TPlayOutput out(streams.Out, streams.OutIsTerminal);
  std::atomic<uint32_t> startTime{GetTickCount()};  // re-anchored by the player's thread

  routing.SetTraceMode(options.Trace);
  if (options.Trace && timeline.Player() != nullptr) {
    std::fprintf(streams.Err, "tambrel-cli: timer scheduling: %s\n", timeline.Player()->Scheduling().c_str());
    std::fflush(streams.Err);
  }
  routing.OnTracePosted = [&wake] { wake.Post(); };
  routing.OnSyncClock = [&startTime](uint32_t itemTime) {
    const uint32_t now = GetTickCount();
    if (now > itemTime) startTime = now - itemTime;
  };
  routing.OnSendError = [&events](int n, const std::string& text) {
    events.Push(StrFormat("output %d: %s", n, text.c_str()), false);
  };
  // From here on a device error is a port that died while playing (found by DrainPorts).
  routing.OnDeviceError = [&events](const std::string& text) { events.Push(text, false); };
  routing.OnPortNotice = [&out, &streams](const std::string& text) {
    out.ClearStatus();
    std::fprintf(streams.Err, "tambrel-cli: %s\n", text.c_str());
    std::fflush(streams.Err);
  };
  timeline.OnData = [&routing](const TRoutedItem& item) { routing.PlayerData(item); };
  timeline.OnEnd = [&events](const std::string& name) { events.Push(name, true); };

  int status = ExitSuccess;
  int ended = 0;
  bool finished = false;
  bool stoppedEarly = false;
  {
    TInterruptGuard interrupt(wake);
    startTime = GetTickCount();
    if (!timeline.Start(options.Repeat)) {
      std::fprintf(streams.Err,
                   "tambrel-cli: the player does not repeat a timeline of fewer than two items\n");
      status = ExitScriptErrors;
      finished = true;
    }
    while (!finished) {
      // Woken at least every clock step: the ports' completed buffers are freed and a port that died
      // is noticed even when nothing else happens.
      wake.Wait(ClockStepMs);
      routing.DrainPorts();
      // Trace lines come before the end they precede: every line queued so far is written first.
      routing.DrainTrace(out);
      for (const TPlayEvents::TEvent& event : events.TakeAll()) {
        if (!event.IsEnd) {
          out.ClearStatus();
          std::fprintf(streams.Err, "tambrel-cli: %s\n", event.Text.c_str());
          std::fflush(streams.Err);
          status = ExitUsageOrFile;
          continue;
        }
        if (options.Trace) {
          if (event.Text.empty())
            out.WriteMessage("Some nil thing hit an endmarker ...");
          else
            out.WriteMessageFmt("Tambrel %s finished", event.Text.c_str());
        }
        if (!options.Repeat && ++ended >= tambrelCount) finished = true;
      }
      if (const int signal = TInterruptGuard::Interrupted(); signal != 0) {
        // Ctrl+C is how play with --repeat ends; SIGTERM always ends it early.
        if (status == ExitSuccess && (signal == SIGTERM || !options.Repeat)) status = 128 + signal;
        stoppedEarly = true;
        finished = true;
      }
      const uint32_t now = GetTickCount();
      const uint32_t start = startTime;
      if (now >= start) out.ShowStatus(FormatPlayTime(now - start));
    }
    timeline.Stop();
    timeline.OnData = nullptr;
    timeline.OnEnd = nullptr;
  }
  // Play that did not reach its end leaves notes sounding: they are switched off before anything else.
  if (stoppedEarly || status != ExitSuccess) routing.ReleaseHeldNotes();
  routing.SetDestroying();
  routing.DrainTrace(out);
  out.ClearStatus();
  std::fflush(streams.Out);
  routing.CloseAll();
  // What releasing and closing reported.
  for (const TPlayEvents::TEvent& event : events.TakeAll()) {
    if (event.IsEnd) continue;
    std::fprintf(streams.Err, "tambrel-cli: %s\n", event.Text.c_str());
    if (status == ExitSuccess) status = ExitUsageOrFile;
  }
  std::fflush(streams.Err);
  return status;
}

}  // namespace tambrel
