#pragma once
// The message area seen from the code that writes into it: one line per call, on the thread that owns
// the area. The window's sink writes into the debug terminal, the command-line tool's into a stream.

#include <cstdio>
#include <string>
#include <vector>

#include "support/text_format.h"

namespace tambrel {

class TMessageSink {
 public:
  virtual ~TMessageSink() = default;

  // Writes text as one line, its control characters shown as '?' (PrintableText): every line of a
  // terminal or the message area comes through here.
  void WriteMessage(const std::string& text) { WriteLine(PrintableText(text)); }

  // Formats first (printf rules), then writes the result as one line.
  void WriteMessageFmt(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // Writes each line in order; an absent list writes nothing.
  void WriteMessageList(const std::vector<std::string>* lines);

 protected:
  // Puts one line, already made printable, where this sink writes.
  virtual void WriteLine(const std::string& line) = 0;
};

// Writes each line followed by '\n' to a C stream and flushes, so that lines interleave correctly with
// whatever else the program prints to the same stream.
class TStreamMessageSink : public TMessageSink {
 public:
  explicit TStreamMessageSink(std::FILE* stream) : Stream(stream) {}

 protected:
  void WriteLine(const std::string& line) override;

 private:
  std::FILE* Stream;
};

// Keeps the lines; used where the lines are inspected or passed on later.
class TCollectingMessageSink : public TMessageSink {
 public:
  std::vector<std::string> Lines;

 protected:
  void WriteLine(const std::string& line) override { Lines.push_back(line); }
};

}  // namespace tambrel
