#include "resmon/stat_number.h"

#include "support/text_format.h"

namespace tambrel {

namespace {

std::string Magnitude(uint64_t value) {
  if (value < 1000) return std::to_string(value);
  return Magnitude(value / 1000) + StrFormat(".%.3u", static_cast<unsigned>(value % 1000));
}

}  // namespace

std::string FormatStatNumber(bool negative, uint64_t magnitude) {
  return (negative && magnitude != 0 ? "-" : "+") + Magnitude(magnitude);
}

std::string FormatStatDifference(uint64_t minuend, uint64_t subtrahend) {
  return minuend >= subtrahend ? FormatStatNumber(false, minuend - subtrahend)
                               : FormatStatNumber(true, subtrahend - minuend);
}

}  // namespace tambrel
