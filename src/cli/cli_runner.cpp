#include "cli/cli_runner.h"

#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <fstream>

#include "app/message_sink.h"
#include "cli/cli_play.h"
#include "cli/midi_file_writer.h"
#include "support/atomic_file.h"
#include "support/runtime_errors.h"
#include "support/text_format.h"

namespace tambrel {

namespace {

void PrintError(const TCliStreams& streams, const std::string& text) {
  std::fprintf(streams.Err, "tambrel-cli: %s\n", PrintableText(text).c_str());
  std::fflush(streams.Err);
}

// Runs the pipeline over one file and maps its outcome to an exit status. A fault ending the compile (an
// integer overflow, a cap) ends this file only; the compiler has reported it among the messages, with
// its position. A file that cannot be read or a dump that cannot be written is shown here.
int CompileOne(TCompilePipeline& pipeline, const std::string& path, TPlayer* player,
               const TCliStreams& streams) {
  if (!SourceFileExists(path)) {
    pipeline.CompileFile(path, player);  // writes the not-found line
    return ExitUsageOrFile;
  }
  try {
    return pipeline.CompileFile(path, player) ? ExitSuccess : ExitScriptErrors;
  } catch (const EInOutError& error) {
    PrintError(streams, error.what());
    return ExitUsageOrFile;
  } catch (const std::exception&) {
    return ExitScriptErrors;
  }
}

int Worse(int a, int b) {
  return a > b ? a : b;
}

// Compiles every file into the timeline in order, as loading them one after another does.
int LoadAll(const TCliOptions& options, TCliSession& session, TTimeline& timeline, TMessageSink& sink,
            const TCliStreams& streams, int& loaded) {
  TCompilePipeline pipeline(session.FrontEnd(), sink);
  pipeline.Settings.ParserDebug = options.ParserTrace;
  pipeline.OnLoaded = [&timeline](std::unique_ptr<TParsedTambrel> tambrel) {
    timeline.AddLoaded(std::move(tambrel));
  };
  int status = ExitSuccess;
  loaded = 0;
  for (const std::string& path : options.Files) {
    const int result = CompileOne(pipeline, path, timeline.Player(), streams);
    if (result == ExitSuccess) ++loaded;
    status = Worse(status, result);
  }
  return status;
}

int RunCheck(const TCliOptions& options, TCliSession& session, const TCliStreams& streams) {
  TStreamMessageSink sink(streams.Out);
  TCompilePipeline pipeline(session.FrontEnd(), sink);
  pipeline.Settings.ParserDebug = options.ParserTrace;
  return CompileOne(pipeline, options.Files.front(), nullptr, streams);
}

// A file of its own in the temporary folder, removed when this goes.
class TTemporaryFile {
 public:
  TTemporaryFile() {
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/tambrel-dump-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) ThrowFileError("create", pattern);
    ::close(fd);
    Path = pattern;
  }
  ~TTemporaryFile() { ::unlink(Path.c_str()); }
  TTemporaryFile(const TTemporaryFile&) = delete;
  TTemporaryFile& operator=(const TTemporaryFile&) = delete;
  std::string Path;
};

// Copies the dump line by line with its CR LF line ends; names in it (a file's, say) may hold control
// characters, which are shown as '?'.
void CopyDumpTo(const std::string& path, std::FILE* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) ThrowFileError("read", path);
  for (std::string line; std::getline(in, line);) {
    const bool crlf = !line.empty() && line.back() == '\r';
    if (crlf) line.pop_back();
    line = PrintableText(std::move(line));
    if (crlf) line += '\r';
    if (!in.eof()) line += '\n';
    std::fwrite(line.data(), 1, line.size(), out);
  }
  std::fflush(out);
}

int RunDump(const TCliOptions& options, TCliSession& session, const TCliStreams& streams) {
  TTemporaryFile dumpFile;
  TStreamMessageSink sink(streams.Err);
  TCompilePipeline pipeline(session.FrontEnd(), sink);
  pipeline.Settings.DumpFileName = dumpFile.Path;
  pipeline.Settings.ParserDebug = options.ParserTrace;
  const int status = CompileOne(pipeline, options.Files.front(), nullptr, streams);
  CopyDumpTo(dumpFile.Path, streams.Out);
  return status;
}

int RunItems(const TCliOptions& options, TCliSession& session, const TCliStreams& streams) {
  TStreamMessageSink sink(streams.Err);
  std::unique_ptr<TTimeline> timeline = session.NewTimeline();
  int loaded = 0;
  const int status = LoadAll(options, session, *timeline, sink, streams, loaded);
  for (const std::string& line : timeline->DumpLines()) std::fprintf(streams.Out, "%s\n", line.c_str());
  std::fflush(streams.Out);
  return status;
}

int RunExport(const TCliOptions& options, TCliSession& session, const TCliStreams& streams) {
  if (const std::string* input = SameFileAmong(options.OutFile, options.Files)) {
    PrintError(streams,
               "\"" + options.OutFile + "\" is the input file \"" + *input + "\": no MIDI file written");
    return ExitUsageOrFile;
  }
  TStreamMessageSink sink(streams.Err);
  std::unique_ptr<TTimeline> timeline = session.NewTimeline();
  int loaded = 0;
  const int status = LoadAll(options, session, *timeline, sink, streams, loaded);
  if (status != ExitSuccess) {
    // A timeline with a file missing is not the one asked for; an old file stays as it was.
    PrintError(streams, "no MIDI file written");
    return status;
  }
  uint32_t endTime = 0;
  const std::vector<TExportItem> items = timeline->DataItems(endTime);
  const std::vector<uint8_t> file = BuildMidiFile(items, endTime);
  WriteFileAtomically(options.OutFile,
                      std::string_view(reinterpret_cast<const char*>(file.data()), file.size()));
  return ExitSuccess;
}

int RunPorts(TCliSession& session, const TCliStreams& streams) {
  for (const std::string& name : session.PortNames())
    std::fprintf(streams.Out, "%s\n", PrintableText(name).c_str());
  std::fflush(streams.Out);
  return ExitSuccess;
}

int RunPlay(const TCliOptions& options, TCliSession& session, const TCliStreams& streams) {
  TStreamMessageSink sink(streams.Err);
  std::unique_ptr<TTimeline> timeline = session.NewTimeline();
  int loaded = 0;
  const int status = LoadAll(options, session, *timeline, sink, streams, loaded);
  if (status != ExitSuccess) {
    PrintError(streams, "not playing: a file did not load");
    return status;
  }
  return PlayTimeline(options, session, *timeline, loaded, streams);
}

// What standard output did not take is a listing lost: the stream's error flag keeps a failed write
// of any earlier call, and the last flush shows whether the rest arrived.
int FinishOutput(const TCliStreams& streams) {
  if (std::fflush(streams.Out) == 0 && std::ferror(streams.Out) == 0) return ExitSuccess;
  PrintError(streams, "write error");
  return ExitUsageOrFile;
}

int RunOneCommand(const TCliOptions& options, TCliSession& session, const TCliStreams& streams) {
  try {
    switch (options.Command) {
      case ECliCommand::Help:
        std::fputs(CliHelpText().c_str(), streams.Out);
        std::fflush(streams.Out);
        return ExitSuccess;
      case ECliCommand::Check:
        return RunCheck(options, session, streams);
      case ECliCommand::Items:
        return RunItems(options, session, streams);
      case ECliCommand::Dump:
        return RunDump(options, session, streams);
      case ECliCommand::Play:
        return RunPlay(options, session, streams);
      case ECliCommand::Export:
        return RunExport(options, session, streams);
      case ECliCommand::Ports:
        return RunPorts(session, streams);
    }
  } catch (const std::exception& error) {
    // Files that cannot be written and MIDI services that fail.
    PrintError(streams, error.what());
  }
  return ExitUsageOrFile;
}

}  // namespace

int RunCliCommand(const TCliOptions& options, TCliSession& session, const TCliStreams& streams) {
  const int status = RunOneCommand(options, session, streams);
  return Worse(status, FinishOutput(streams));
}

int RunCli(const std::vector<std::string>& args, TCliSession& session, const TCliStreams& streams) {
  TCliOptions options;
  try {
    options = ParseCliArguments(args);
  } catch (const ECliUsage& error) {
    PrintError(streams, error.what());
    return ExitUsageOrFile;
  }
  return RunCliCommand(options, session, streams);
}

}  // namespace tambrel
