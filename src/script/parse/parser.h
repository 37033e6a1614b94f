#pragma once
// The parser of the front end: runs the LALR(1) automaton of the grammar over the scanner's tokens,
// builds the definition tree and recovers from syntax errors so that one run reports all of them.
// Window thread only, one parse at a time, like the rest of the front end.

#include <cstdint>
#include <memory>
#include <string>

namespace tambrel {

class TTambrel;

// Entries of the parser's state and value stacks; a parse that needs more reports
// "yyparse stack overflow" and is aborted.
constexpr int32_t ParserStackSize = 8192;

// Operators one expression may nest (a + b + c nests two). The compiler walks expression trees
// recursively; this keeps that well inside a thread's stack. A deeper expression ends the parse.
constexpr int32_t MaxExpressionDepth = 4000;

// One parse of the current source (OpenSource, then ResetInput, come first): 0 when the input was
// accepted, 1 when the parse was aborted. Syntax errors are reported through ReportError and counted
// in ErrorCount; trace lines go to Messages while TraceOn is set. The fatal scanner errors and the
// expression depth limit are thrown (ELex).
int yyparse();

// yyparse, and afterwards the input returned to its idle state however the parse ended, so that a
// parse cut short by an exception leaves no file behind for the next one.
int ParseCurrentSource();

// The root the last accepted parse built, handed over; none when no root was built.
std::unique_ptr<TTambrel> TakeParseResult();
// Destroys a root left from an earlier parse.
void ClearParseResult();

// Where include statements find their files: name + ".tmb" in this directory. Defaults to
// AppPath() + "Include/"; a directory given here keeps its trailing '/'.
void SetIncludeDirectory(const std::string& directory);
std::string IncludeDirectory();

}  // namespace tambrel
