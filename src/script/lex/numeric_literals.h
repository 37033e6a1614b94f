#pragma once
// The conversions of numeric literals into the script's one number type, the signed 32-bit integer.

#include <cstdint>
#include <string_view>

namespace tambrel {

// Decimal digits, leading zeros allowed; false for an empty text, a non-digit or a value above
// 2147483647.
bool ConvertDecimal(std::string_view text, int32_t& value);

// A real literal as a count of thousandths: read in double precision, multiplied by 1000 in extended
// precision and rounded to the nearest integer, ties to even. False when the text is not a real
// number in C notation (a decimal comma for instance) and when the rounded value leaves the signed
// 32-bit range, as a decimal literal above 2147483647 fails.
bool ConvertReal(std::string_view text, int32_t& value);

// "$" followed by hexadecimal digits of either case, accumulated in 32 bits: up to eight significant
// digits, leading zeros not counted; $80000000..$FFFFFFFF are negative. False without a digit, for a
// non-digit or when a further digit would not fit.
bool ConvertHex(std::string_view text, int32_t& value);

}  // namespace tambrel
