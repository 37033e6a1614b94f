#include "script/lex/numeric_literals.h"

#include <locale.h>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>

namespace tambrel {

bool ConvertDecimal(std::string_view text, int32_t& value) {
  if (text.empty()) return false;
  int64_t result = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + (c - '0');
    if (result > INT32_MAX) return false;
  }
  value = static_cast<int32_t>(result);
  return true;
}

namespace {

// Literals are read the same whatever the user's locale says about the decimal separator.
locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// digits [ "." digits ] [ ("e"|"E") [sign] digits ], nothing else: strtod alone would also take
// hexadecimal floats, "inf", "nan" and leading blanks.
bool IsRealText(std::string_view text) {
  std::size_t i = 0;
  auto digits = [&] {
    const std::size_t from = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    return i > from;
  };
  if (!digits()) return false;
  if (i < text.size() && text[i] == '.') {
    ++i;
    if (!digits()) return false;
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (!digits()) return false;
  }
  return i == text.size();
}

}  // namespace

bool ConvertReal(std::string_view text, int32_t& value) {
  if (!IsRealText(text)) return false;
  const std::string terminated(text);
  const double real = strtod_l(terminated.c_str(), nullptr, CLocale());
  if (std::isinf(real)) return false;
  // The product is formed and rounded in the x87 extended format (64-bit mantissa), so that a
  // literal just below a half thousandth in double precision, like 1.0005, rounds down.
  const long double scaled = static_cast<long double>(real) * 1000.0L;
  const long double rounded = std::nearbyint(scaled);
  if (rounded > 2147483647.0L || rounded < -2147483648.0L) return false;
  value = static_cast<int32_t>(rounded);
  return true;
}

bool ConvertHex(std::string_view text, int32_t& value) {
  if (text.size() < 2 || text[0] != '$') return false;
  uint32_t result = 0;
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    uint32_t digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<uint32_t>(c - 'A' + 10);
    } else {
      return false;
    }
    if (result > 0x0FFFFFFFu) return false;
    result = (result << 4) | digit;
  }
  value = static_cast<int32_t>(result);
  return true;
}

}  // namespace tambrel
