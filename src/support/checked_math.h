#pragma once
// 32-bit arithmetic that raises EIntOverflow instead of wrapping silently.

#include <cstdint>

#include "support/runtime_errors.h"

namespace tambrel {

inline int32_t CheckedAdd(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_add_overflow(a, b, &r)) throw EIntOverflow();
  return r;
}

inline int32_t CheckedSub(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_sub_overflow(a, b, &r)) throw EIntOverflow();
  return r;
}

inline int32_t CheckedMul(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_mul_overflow(a, b, &r)) throw EIntOverflow();
  return r;
}

inline int32_t CheckedNeg(int32_t a) {
  if (a == INT32_MIN) throw EIntOverflow();
  return -a;
}

inline uint32_t CheckedAddU32(uint32_t a, uint32_t b) {
  uint32_t r;
  if (__builtin_add_overflow(a, b, &r)) throw EIntOverflow();
  return r;
}

inline uint32_t CheckedSubU32(uint32_t a, uint32_t b) {
  uint32_t r;
  if (__builtin_sub_overflow(a, b, &r)) throw EIntOverflow();
  return r;
}

}  // namespace tambrel
