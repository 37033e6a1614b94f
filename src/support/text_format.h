#pragma once
// Small text helpers shared by the dumps, the time displays and every formatted message.

#include <cstdint>
#include <string>

namespace tambrel {

// "%.5d:%.2d.%.3d" of whole minutes, seconds and milliseconds; minutes are not reduced into hours.
std::string FormatPlayTime(uint32_t milliseconds);

// n repetitions of "| " for 0 <= n <= 128, all 256 characters above, empty for n <= 0.
// Throws EIntOverflow when 2 * n leaves the signed 32-bit range.
std::string IndentText(int32_t level);

// printf-style formatting into a std::string.
std::string StrFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// text as a terminal or a message area may show it: every C0 control character other than TAB, and
// DEL, becomes '?', so that a script's bytes cannot move the cursor, clear the screen or retitle the
// window of whoever reads its messages. One byte stays one character.
std::string PrintableText(std::string text);

// The ASCII letters a to z upper-cased, every other byte as it is: names compare this way everywhere
// (script names, device names), whatever the system's locale.
inline char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string UpperAscii(const std::string& text);

int32_t MaxInt(int32_t a, int32_t b);
int32_t MinInt(int32_t a, int32_t b);

}  // namespace tambrel
