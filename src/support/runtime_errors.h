#pragma once
// The runtime's errors for arithmetic and range faults, and for file I/O. Script errors are never
// exceptions; these are limits and faults that end the operation that hit them.

#include <stdexcept>
#include <string>

namespace tambrel {

// Signed or unsigned 32-bit arithmetic left its range.
class EIntOverflow : public std::overflow_error {
 public:
  EIntOverflow() : std::overflow_error("Integer overflow") {}
};

// A value was outside the range its destination allows.
class ERangeError : public std::range_error {
 public:
  ERangeError() : std::range_error("Range check error") {}
};

// A file could not be created, read or written; the text names the file and the system's reason.
class EInOutError : public std::runtime_error {
 public:
  explicit EInOutError(const std::string& text) : std::runtime_error(text) {}
};

// Builds the EInOutError text for a failing operation on a file from errno.
[[noreturn]] void ThrowFileError(const std::string& action, const std::string& fileName);

}  // namespace tambrel
