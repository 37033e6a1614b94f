#pragma once
// The statistics window's number text: a sign ("+" for zero and positive values, "-" for negative
// ones) and the magnitude in groups of three digits separated by full stops: -5.000, +1.000.000, +0.

#include <cstdint>
#include <string>

namespace tambrel {

std::string FormatStatNumber(bool negative, uint64_t magnitude);

// A figure, always shown with "+".
inline std::string FormatStatFigure(uint64_t value) {
  return FormatStatNumber(false, value);
}

// minuend - subtrahend, whichever is larger, without overflow.
std::string FormatStatDifference(uint64_t minuend, uint64_t subtrahend);

}  // namespace tambrel
