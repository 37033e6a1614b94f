#include "script/lex/numeric_literals.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/runtime_errors.h"

namespace tambrel {
namespace {

int32_t Decimal(const char* text) {
  int32_t value = -7;
  EXPECT_TRUE(ConvertDecimal(text, value)) << text;
  return value;
}

int32_t Real(const char* text) {
  int32_t value = -7;
  EXPECT_TRUE(ConvertReal(text, value)) << text;
  return value;
}

int32_t Hex(const char* text) {
  int32_t value = -7;
  EXPECT_TRUE(ConvertHex(text, value)) << text;
  return value;
}

TEST(LexNumericLiterals, DecimalUpToTheLargestInteger) {
  EXPECT_EQ(Decimal("0"), 0);
  EXPECT_EQ(Decimal("1"), 1);
  EXPECT_EQ(Decimal("000123"), 123);
  EXPECT_EQ(Decimal("2147483647"), 2147483647);
  EXPECT_EQ(Decimal("0000000000002147483647"), 2147483647);
  int32_t value = 0;
  EXPECT_FALSE(ConvertDecimal("2147483648", value));
  EXPECT_FALSE(ConvertDecimal("99999999999", value));
  EXPECT_FALSE(ConvertDecimal(std::string(200, '9'), value));
  EXPECT_FALSE(ConvertDecimal("", value));
  EXPECT_FALSE(ConvertDecimal("12a", value));
}

TEST(LexNumericLiterals, RealIsThousandthsRoundedFromExtendedPrecision) {
  EXPECT_EQ(Real("1.5"), 1500);
  EXPECT_EQ(Real("12.345"), 12345);
  EXPECT_EQ(Real("0.0004"), 0);
  // 0.0005 is a little above a half thousandth in double precision, 1.0005 a little below.
  EXPECT_EQ(Real("0.0005"), 1);
  EXPECT_EQ(Real("1.0005"), 1000);
  EXPECT_EQ(Real("2e3"), 2000000);
  EXPECT_EQ(Real("2E+3"), 2000000);
  EXPECT_EQ(Real("1.5E-3"), 2);
  EXPECT_EQ(Real("2147483.647"), 2147483647);
  EXPECT_EQ(Real("0.0"), 0);
  EXPECT_EQ(Real("1e-400"), 0);  // below the double range: zero, not an error
}

TEST(LexNumericLiterals, RealFailuresAndRangeErrors) {
  int32_t value = 0;
  EXPECT_FALSE(ConvertReal("60,100", value));
  EXPECT_FALSE(ConvertReal("1,5e3", value));
  EXPECT_FALSE(ConvertReal("1.", value));
  EXPECT_FALSE(ConvertReal("0x1p3", value));
  EXPECT_FALSE(ConvertReal("inf", value));
  EXPECT_FALSE(ConvertReal("2147484.0", value));
  EXPECT_EQ(Real("2147483.6474"), 2147483647);
  EXPECT_FALSE(ConvertReal("2147483.6476", value));
  EXPECT_FALSE(ConvertReal("1e300", value));
  EXPECT_FALSE(ConvertReal("1e400", value));
}

TEST(LexNumericLiterals, HexInThirtyTwoBits) {
  EXPECT_EQ(Hex("$ff"), 255);
  EXPECT_EQ(Hex("$FF"), 255);
  EXPECT_EQ(Hex("$aBc"), 0xabc);
  EXPECT_EQ(Hex("$7FFFFFFF"), 2147483647);
  EXPECT_EQ(Hex("$80000000"), INT32_MIN);
  EXPECT_EQ(Hex("$FFFFFFFF"), -1);
  EXPECT_EQ(Hex("$000000001"), 1);
  EXPECT_EQ(Hex("$0000000000000000ffffffff"), -1);
  int32_t value = 0;
  EXPECT_FALSE(ConvertHex("$100000000", value));
  EXPECT_FALSE(ConvertHex("$", value));
  EXPECT_FALSE(ConvertHex("$fg", value));
  EXPECT_FALSE(ConvertHex("ff", value));
}

}  // namespace
}  // namespace tambrel
