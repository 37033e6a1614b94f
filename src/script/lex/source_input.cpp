#include "script/lex/source_input.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "script/lex/source_state.h"
#include "support/app_paths.h"
#include "support/checked_math.h"
#include "support/file_read.h"
#include "support/runtime_errors.h"
#include "support/text_format.h"

namespace tambrel {
namespace lex {

TInputState::TInputState(std::string fileName, std::string text, int32_t pos, int32_t line, int32_t column,
                         int32_t readPos)
    : FileName(std::move(fileName)),
      ShortName(FileNameOnly(FileName)),
      Text(std::move(text)),
      Pos(pos),
      Line(line),
      Column(column),
      ReadPos(readPos) {
  const void* nul = std::memchr(Text.data(), '\0', Text.size());
  ScanLength = static_cast<int32_t>(nul ? static_cast<const char*>(nul) - Text.data() : Text.size());
}

std::unique_ptr<TInputState> TFileStack::Pop() {
  std::unique_ptr<TInputState> top = std::move(States.back());
  States.pop_back();
  return top;
}

bool TFileStack::Holds(uint64_t device, uint64_t inode) const {
  for (const std::unique_ptr<TInputState>& state : States) {
    if (state->Device == device && state->Inode == inode && (device != 0 || inode != 0)) return true;
  }
  return false;
}

void TFileStack::Clear() {
  // Newest first, so that the scanner's buffers go in the reverse order of their creation.
  while (!States.empty()) States.pop_back();
}

TLexState& State() {
  static TLexState state;
  return state;
}

std::size_t ReadBlock(char* buffer, std::size_t maxSize) {
  TInputState& current = State().Current;
  if (current.ReadPos >= current.ScanLength) return 0;
  const std::size_t count =
      std::min<std::size_t>(maxSize, static_cast<std::size_t>(current.ScanLength - current.ReadPos));
  std::memcpy(buffer, current.Text.data() + current.ReadPos, count);
  current.ReadPos += static_cast<int32_t>(count);
  return count;
}

namespace {

const char* const ControlNames[32] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                      "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                      "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                      "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

}  // namespace

void ClearScanner() {
  State().Current.ReadPos = 0;
  DropScanBuffer();
}

}  // namespace lex

using lex::State;

namespace {

// Opens the main file (include false) or an include file. Anything but a regular file is no source:
// an include of one is not found, a main file of one cannot be read.
void Open(const std::string& name, bool include) {
  struct stat info {};
  if (::stat(name.c_str(), &info) != 0) return;
  const bool regular = S_ISREG(info.st_mode);
  if (!regular && include) return;
  if (!regular) throw EInOutError("Cannot read file \"" + name + "\": not a regular file");
  lex::TLexState& state = State();
  // A file that is being read already would include itself again and again.
  const auto device = static_cast<uint64_t>(info.st_dev);
  const auto inode = static_cast<uint64_t>(info.st_ino);
  if ((state.Current.Device == device && state.Current.Inode == inode) ||
      state.FileStack.Holds(device, inode)) {
    ReportError(StrFormat("include file %s not opened: it is being read already (include loop)",
                          FileNameOnly(name).c_str()));
    return;
  }
  // The bottom entry is the idle state, so the stack holds one entry more than there are includes.
  if (state.FileStack.Count() > static_cast<std::size_t>(MaxIncludeDepth)) {
    ReportError(StrFormat("include file %s not opened: includes nested deeper than %d levels",
                          FileNameOnly(name).c_str(), MaxIncludeDepth));
    return;
  }
  TFileRead file = ReadWholeFile(name);
  if (!file.Regular && include) return;
  if (!file.Regular) throw EInOutError("Cannot read file \"" + name + "\": not a regular file");
  if (file.FailedStep != nullptr && include) {
    ReportError(StrFormat("include file %s not %s: %s", FileNameOnly(name).c_str(),
                          std::strcmp(file.FailedStep, "open") == 0 ? "opened" : "read",
                          std::strerror(file.Error)));
    return;
  }
  if (file.FailedStep != nullptr) {
    errno = file.Error;
    ThrowFileError(file.FailedStep, name);
  }
  auto suspended = std::make_unique<lex::TInputState>(std::move(state.Current));
  state.FileStack.Push(std::move(suspended));
  state.Current = lex::TInputState(name, std::move(file.Text), 0, 1, 0, 0);
  state.Current.Device = static_cast<uint64_t>(file.Info.st_dev);
  state.Current.Inode = static_cast<uint64_t>(file.Info.st_ino);
}

}  // namespace

void OpenSource(const std::string& name) {
  Open(name, false);
}

void OpenIncludeSource(const std::string& name) {
  Open(name, true);
}

void ResetInput() {
  lex::TLexState& state = State();
  state.Messages.clear();
  state.Current.Line = 1;
  state.Current.Column = 0;
  state.Current.Pos = 0;
  state.Current.LineStart = 0;
  state.ErrorCount = 0;
  lex::ClearScanner();
}

bool Wrap() {
  lex::TLexState& state = State();
  if (state.FileStack.Count() == 0) return true;
  // Replacing the current source deletes its scanner buffer; the resumed one brings back its own.
  state.Current = std::move(*state.FileStack.Pop());
  return state.Current.Text.empty();
}

void RestoreIdleInput() {
  lex::TLexState& state = State();
  state.Current = lex::TInputState();
  state.FileStack.Clear();
  lex::ResetScanner();
}

std::size_t FileStackDepth() {
  return State().FileStack.Count();
}

const std::vector<std::string>& Messages() {
  return State().Messages;
}

void WriteChar(char c) {
  std::vector<std::string>& messages = State().Messages;
  if (c == '\0') return;
  if (c == '\n') {
    messages.emplace_back();
    return;
  }
  if (messages.empty()) messages.emplace_back();
  messages.back().push_back(c);
}

void WriteLine(const std::string& text) {
  if (!State().TraceOn) return;
  for (const char c : text) WriteChar(c);
  WriteChar('\n');
}

void WriteFormatted(const char* format, ...) {
  if (!State().TraceOn) return;
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    text.resize(static_cast<std::size_t>(length));
  }
  va_end(again);
  WriteLine(text);
}

int32_t ErrorCount() {
  return State().ErrorCount;
}

bool TraceOn() {
  return State().TraceOn;
}

void SetTraceOn(bool on) {
  State().TraceOn = on;
}

void ReportError(const std::string& message) {
  lex::TLexState& state = State();
  const lex::TInputState& current = state.Current;
  state.ErrorCount = CheckedAdd(state.ErrorCount, 1);
  const std::string shortMessage = message.substr(0, 255);
  state.Messages.push_back(StrFormat("[%d,%d] in file \"%s\": \"%s\"", current.Line, current.Column,
                                     current.ShortName.c_str(), shortMessage.c_str()));

  // The echoed line is the one source line around the last character consumed: from the character
  // after the previous line end up to the next one, or the end of the text. A line ends at a carriage
  // return or a line feed, so that files with either kind of line end, or both, echo one line. A line
  // longer than MaxEchoWidth is shown as the part around the caret, so that a report costs the same
  // however long its line is.
  const std::string& text = current.Text;
  const int32_t length = current.ScanLength;
  const int32_t consumed = std::min(current.Pos, length);
  const int32_t lineStart = std::clamp(current.LineStart, 0, consumed);
  // Under the last character consumed, or the line's first one when none of it was consumed.
  const int32_t caret = std::max(consumed - 1, lineStart);
  auto isLineEnd = [&text](int32_t at) {
    return text[static_cast<std::size_t>(at)] == '\n' || text[static_cast<std::size_t>(at)] == '\r';
  };
  int32_t from = std::max(lineStart, caret - MaxEchoWidth / 2);
  int32_t to = from;  // one past the last character shown
  while (to < length && to - from < MaxEchoWidth && !isLineEnd(to)) ++to;
  from = std::max(lineStart, std::min(from, to - MaxEchoWidth));
  state.Messages.push_back(text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from)));
  // The caret line copies the tabs before the caret, so that the caret stands under its character
  // however the terminal sets tabs; every other character is shown as one.
  std::string caretLine;
  for (int32_t at = from; at < caret; ++at)
    caretLine.push_back(text[static_cast<std::size_t>(at)] == '\t' ? '\t' : ' ');
  state.Messages.push_back(caretLine + "^");
}

void Fatal(const std::string& message) {
  lex::TLexState& state = State();
  state.ErrorCount = CheckedAdd(state.ErrorCount, 1);
  throw ELex(StrFormat("FATAL ERROR : '%s'", message.c_str()));
}

std::string CharDisplayName(int32_t code) {
  if (code >= 0 && code < 32) {
    std::string name = "^";
    name.push_back(static_cast<char>(code + 64));
    name.push_back(' ');
    name += lex::ControlNames[code];
    name.resize(6, ' ');
    return name;
  }
  if (code == 32) return "-- SP ";
  if (code == 127) return "-- DEL";
  if (code > 32 && code < 256) return std::string(1, static_cast<char>(code));
  return "------";
}

const std::string& SourceName() {
  return State().Current.FileName;
}
const std::string& SourceFileName() {
  return State().Current.ShortName;
}
int32_t Line() {
  return State().Current.Line;
}
int32_t Column() {
  return State().Current.Column;
}

}  // namespace tambrel
