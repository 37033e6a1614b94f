#pragma once
// The source input of the front end: the file being read and the stack of files suspended by
// include statements, the message list every front-end line goes to, the syntax error report and the
// fatal errors. One instance for the whole program, used on the window thread, one parse at a time.
//
// A parse runs as: OpenSource(main file), ResetInput(), the parser (which pulls yylex()), then
// RestoreIdleInput() however the parse ended. Afterwards ErrorCount() and Messages() hold its result.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tambrel {

// The fatal front-end errors; the text is "FATAL ERROR : '<reason>'".
class ELex : public std::runtime_error {
 public:
  explicit ELex(const std::string& text) : std::runtime_error(text) {}
};

// Include files may be nested this deep; a deeper include is refused with a syntax error report.
constexpr int32_t MaxIncludeDepth = 32;

// Makes the main file the current source, suspending the current one (the idle state) on the file
// stack. A missing file is ignored without a message. Anything else that cannot be read, a FIFO or a
// device included, throws EInOutError.
void OpenSource(const std::string& name);

// Makes an include file the current source, suspending the current one on the file stack. What is
// not a regular file is missing, and ignored without a message. A file that cannot be read, that is
// being read already (an include loop) or that would nest includes deeper than MaxIncludeDepth is
// not opened; that is reported with ReportError, so it counts as a syntax error, and scanning goes on.
void OpenIncludeSource(const std::string& name);

// Prepares a parse of the current source from its start: clears Messages, ErrorCount, the position
// (line 1, column 0) and the scanner's state. The file stack is left as it is.
void ResetInput();

// Called by the scanner at the end of a text: resumes the suspended source, if any. True when the
// input is finished (nothing suspended, or the resumed text is the empty idle state).
bool Wrap();

// Returns the input to its idle state: no current source (empty name and text, line 0, column 0),
// an empty file stack, the scanner cleared. Messages and ErrorCount are kept for the caller.
void RestoreIdleInput();

// Number of suspended sources: one for each file being read, the idle state at the bottom.
std::size_t FileStackDepth();

// Every line the front end wrote since the last ResetInput.
const std::vector<std::string>& Messages();

// NUL writes nothing, a line feed opens a new empty line, any other character goes to the last line.
void WriteChar(char c);
// Parser and scanner trace: the text and a line feed, only while TraceOn() is set.
void WriteLine(const std::string& text);
void WriteFormatted(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Syntax errors and fatal errors of the current parse.
int32_t ErrorCount();

// The parser trace switch; gates every trace line of the scanner and the parser.
bool TraceOn();
void SetTraceOn(bool on);

// A source line longer than this is echoed in error reports as this many characters around the caret.
constexpr int32_t MaxEchoWidth = 1000;

// The syntax error report, counted in ErrorCount: three new lines in Messages,
// "[line,column] in file "name": "message"", the source line of the last character consumed, and a
// caret under that character (the tabs before it copied). The message is cut to 255 characters.
void ReportError(const std::string& message);

// Counts the error and throws ELex("FATAL ERROR : '<message>'").
[[noreturn]] void Fatal(const std::string& message);

// The trace name of a character or token code: "^@ NUL" .. "^_ US " for 0..31, "-- SP ", "-- DEL",
// the character itself for 33..126 and 128..255, "------" for anything else.
std::string CharDisplayName(int32_t code);

// Position of the last character consumed in the current source. Line is 1-based and counts line
// feeds; Column is the 1-based column of that character (0 right after a line feed).
const std::string& SourceName();      // as given to OpenSource
const std::string& SourceFileName();  // SourceName without its directory part
int32_t Line();
int32_t Column();

}  // namespace tambrel
