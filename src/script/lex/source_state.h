#pragma once
// The state behind the source input, shared by the source input and the scanner only (the rest of the
// program uses source_input.h). Window thread only, one parse at a time; nothing here is locked.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct yy_buffer_state;

namespace tambrel::lex {

// The scanner's read-ahead buffer of one source; created by the scanner when it first reads the
// source and deleted with the source it belongs to.
struct TScanBufferDeleter {
  void operator()(yy_buffer_state* buffer) const;
};
using TScanBuffer = std::unique_ptr<yy_buffer_state, TScanBufferDeleter>;

// One source: the current one, or a suspended one on the file stack.
struct TInputState {
  TInputState() = default;
  TInputState(std::string fileName, std::string text, int32_t pos, int32_t line, int32_t column,
              int32_t readPos);

  std::string FileName;    // as given to OpenSource
  std::string ShortName;   // FileName without its directory part
  std::string Text;        // the whole file
  int32_t ScanLength = 0;  // length of the scanned text: up to the first NUL byte, or all of it
  int32_t Pos = 0;         // characters consumed, i.e. the 1-based index of the last one
  int32_t Line = 0;        // 1-based, counts line feeds
  int32_t Column = 0;      // 1-based column of the last character consumed, 0 after a line feed
  int32_t LineStart = 0;   // offset after the last line end consumed, a carriage return or a line feed
  int32_t ReadPos = 0;     // offset of the next byte handed to the scanner's read-ahead buffer
  TScanBuffer Buffer;      // that buffer; holds what was read ahead but not yet consumed
  uint64_t Device = 0;     // identity of the file, to recognise an include of a file being read;
  uint64_t Inode = 0;      // both 0 for the idle state
};

// The suspended sources, last in first out; owns them.
class TFileStack {
 public:
  void Push(std::unique_ptr<TInputState> state) { States.push_back(std::move(state)); }
  std::unique_ptr<TInputState> Pop();
  std::size_t Count() const { return States.size(); }
  // True when a suspended source is the file with this identity.
  bool Holds(uint64_t device, uint64_t inode) const;
  void Clear();

 private:
  std::vector<std::unique_ptr<TInputState>> States;
};

struct TLexState {
  TInputState Current;  // empty name and text when idle
  TFileStack FileStack;
  std::vector<std::string> Messages;
  int32_t ErrorCount = 0;
  bool TraceOn = false;
};

TLexState& State();

// Fills the scanner's buffer from the current source: at most maxSize bytes, none once its scanned
// text has been handed over completely.
std::size_t ReadBlock(char* buffer, std::size_t maxSize);

// Makes the scanner start over on the current source from its beginning.
void ClearScanner();

// Forgets the scanner's read-ahead of the current source, so that it reads it again from ReadPos.
// Implemented by the scanner.
void DropScanBuffer();

// Frees what the scanner holds beyond the per-source buffers. Implemented by the scanner.
void ResetScanner();

}  // namespace tambrel::lex
