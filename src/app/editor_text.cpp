#include "app/editor_text.h"

#include <stdexcept>

#include "support/text_format.h"

namespace tambrel {

namespace {

// The length of the well-formed UTF-8 sequence at bytes[i], 0 for none.
size_t SequenceLength(std::string_view bytes, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (i + length > bytes.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  return length;
}

void AppendLatin1(std::string& out, unsigned char c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
    return;
  }
  out += static_cast<char>(0xC0 | (c >> 6));
  out += static_cast<char>(0x80 | (c & 0x3F));
}

}  // namespace

bool IsStrictUtf8(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    const size_t length = SequenceLength(bytes, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

TDecodedText DecodeEditorText(std::string_view bytes) {
  TDecodedText decoded;
  TEditorFileFormat& format = decoded.Format;
  format.Encoding = IsStrictUtf8(bytes) ? TTextEncoding::Utf8 : TTextEncoding::Latin1;
  std::string& text = decoded.Text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\n' || c == '\r') {
      const bool pair = c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n';
      format.LineEnds.emplace_back(pair ? "\r\n" : std::string(1, c));
      if (pair) ++i;
      text += '\n';
    } else if (format.Encoding == TTextEncoding::Latin1) {
      AppendLatin1(text, static_cast<unsigned char>(c));
    } else {
      text += c;
    }
  }
  if (!format.LineEnds.empty()) format.NewLineEnd = format.LineEnds.front();
  return decoded;
}

std::string EncodeEditorText(std::string_view text, const TEditorFileFormat& format) {
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 16);
  size_t line = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      bytes += line < format.LineEnds.size() ? format.LineEnds[line] : format.NewLineEnd;
      ++line;
    } else if (format.Encoding == TTextEncoding::Utf8 || c < 0x80) {
      bytes += static_cast<char>(c);
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size()) {
      // U+0080..U+00FF: the one byte of Latin-1.
      bytes += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F));
    } else {
      throw std::runtime_error(
          StrFormat("Line %zu holds a character that Latin-1, the file's encoding, cannot hold", line + 1));
    }
  }
  return bytes;
}

}  // namespace tambrel
