#pragma once
// The editor's text and the bytes of its file. A Tambrel is 8-bit text: a file is read as UTF-8 when it
// is strictly that, else as Latin-1, and the end of each of its lines is kept, so that a text saved
// unchanged gives back the identical bytes. The editor itself sees UTF-8 with '\n' between lines.

#include <string>
#include <string_view>
#include <vector>

namespace tambrel {

enum class TTextEncoding { Utf8, Latin1 };

// How a text is written back into its file.
struct TEditorFileFormat {
  TTextEncoding Encoding = TTextEncoding::Utf8;
  // LineEnds[i] ends line i ("\n", "\r\n" or "\r"); a line past the file's own lines ends with
  // NewLineEnd, the file's first line end ("\n" for a file without one).
  std::vector<std::string> LineEnds;
  std::string NewLineEnd = "\n";
  bool operator==(const TEditorFileFormat&) const = default;
};

struct TDecodedText {
  std::string Text;  // UTF-8; '\n' between lines, and at the end when the file's last line has an end
  TEditorFileFormat Format;
};

// True for well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsStrictUtf8(std::string_view bytes);

TDecodedText DecodeEditorText(std::string_view bytes);

// The file's bytes for text (UTF-8, '\n' between lines) in format. Throws std::runtime_error with a
// text naming the line when the encoding cannot hold a character of it (Latin-1 holds U+0000..U+00FF).
std::string EncodeEditorText(std::string_view text, const TEditorFileFormat& format);

}  // namespace tambrel
