#include "support/text_format.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "support/checked_math.h"

namespace tambrel {

namespace {

// "| " doubled until it reaches 256 characters.
const std::string& IndentSource() {
  static const std::string source = [] {
    std::string s = "| ";
    while (s.size() < 256) s += s;
    return s;
  }();
  return source;
}

}  // namespace

std::string FormatPlayTime(uint32_t milliseconds) {
  const unsigned minutes = milliseconds / 60000u;
  const unsigned seconds = (milliseconds / 1000u) % 60u;
  const unsigned millis = milliseconds % 1000u;
  char text[32];
  std::snprintf(text, sizeof text, "%.5u:%.2u.%.3u", minutes, seconds, millis);
  return text;
}

std::string IndentText(int32_t level) {
  const int32_t length = CheckedMul(level, 2);
  if (length <= 0) return {};
  const std::string& source = IndentSource();
  return source.substr(0, std::min<size_t>(static_cast<size_t>(length), source.size()));
}

std::string StrFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (needed > 0) {
    text.resize(static_cast<size_t>(needed));
    std::vsnprintf(text.data(), text.size() + 1, format, args);
  }
  va_end(args);
  return text;
}

int32_t MaxInt(int32_t a, int32_t b) {
  return a > b ? a : b;
}
int32_t MinInt(int32_t a, int32_t b) {
  return a < b ? a : b;
}

std::string PrintableText(std::string text) {
  for (char& c : text)
    if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) c = '?';
  return text;
}

std::string UpperAscii(const std::string& text) {
  std::string result = text;
  for (char& c : result) c = UpperAscii(c);
  return result;
}

}  // namespace tambrel
