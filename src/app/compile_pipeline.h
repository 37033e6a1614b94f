#pragma once
// The load pipeline: a Tambrel file through the front end and the compiler, with every message of its
// steps written to a message sink. The window's controller and the command-line tool both run it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/message_sink.h"

namespace tambrel {

class TPlayer;

// A parsed Tambrel as the pipeline uses it.
class TParsedTambrel {
 public:
  virtual ~TParsedTambrel() = default;
  // Every message of the compiler, its position already prefixed.
  virtual void SetOnError(std::function<void(const std::string& text)> onError) = 0;
  // 0 when the script resolved, 1 when not; the items go to player when one is given; the tree dump
  // is written to dumpFileName when it is not empty. Limits and faults are thrown after they were
  // reported through onError; a dump that cannot be written throws EInOutError.
  virtual int32_t Compile(TPlayer* player, const std::string& dumpFileName) = 0;
  virtual std::string Name() const = 0;
};

// The script front end: one parse at a time over the source opened last.
class TFrontEnd {
 public:
  virtual ~TFrontEnd() = default;
  virtual void OpenSource(const std::string& path) = 0;
  virtual void SetTraceOn(bool on) = 0;
  virtual void ResetInput() = 0;
  // Forgets a tree left from an earlier parse.
  virtual void ClearParseResult() = 0;
  // Runs the parser; its result (0 accepted, 1 aborted). May throw.
  virtual int Parse() = 0;
  virtual int32_t ErrorCount() const = 0;
  virtual const std::vector<std::string>& Messages() const = 0;
  // The tree the parse built, handed over; none when nothing was built.
  virtual std::unique_ptr<TParsedTambrel> TakeParseResult() = 0;
};

struct TPipelineSettings {
  bool ParserDebug = false;
  // The dump file name used while the compiler's dump option is on; empty for none.
  std::string DumpFileName;
  // Lets the window handle its pending events once between the two phases.
  std::function<void()> ProcessEvents;
};

class TCompilePipeline {
 public:
  TCompilePipeline(TFrontEnd& frontEnd, TMessageSink& sink) : FrontEnd(frontEnd), Sink(sink) {}

  TPipelineSettings Settings;
  // Receives each Tambrel compiled successfully into a player (the controller's AddLoaded).
  std::function<void(std::unique_ptr<TParsedTambrel>)> OnLoaded;

  // "File "%s" not found" when there is no file at path; otherwise opens it and runs Compile.
  // A file that exists but cannot be read throws the input/output error.
  bool CompileFile(const std::string& path, TPlayer* player);

  // The pipeline over the opened input: parse, the front end's lines, the syntax summary, then the
  // compiler and its summary. A fault thrown by the compiler (overflow, range, caps) has been written to
  // the sink with its position, as the compiler's other messages are, and leaves here after the Tambrel
  // has been destroyed; no summary line follows it.
  bool Compile(TPlayer* player);

 private:
  TFrontEnd& FrontEnd;
  TMessageSink& Sink;
};

// True when a file (not a directory) exists at path.
bool SourceFileExists(const std::string& path);

}  // namespace tambrel
