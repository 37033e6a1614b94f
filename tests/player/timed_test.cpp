#include "player/timed.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "player/errors.h"
#include "support/runtime_errors.h"

namespace tambrel {
namespace {

std::vector<uint8_t> BytesOf(const TTimedData& d) {
  return {d.Data(), d.Data() + d.Count()};
}

TEST(TimedData, BytesOutsideCountRaiseIndexErrorAndChangeNothing) {
  const uint8_t bytes[] = {1, 2, 3};
  TTimedData d(0, bytes, 3, 1);
  EXPECT_THAT([&] { (void)d.Bytes(5); },
              testing::ThrowsMessage<EIndexError>("TTimedData index (5) out of range [0..2]"));
  EXPECT_THROW((void)d.Bytes(-1), EIndexError);
  EXPECT_THROW(d.SetBytes(3, 9), ETambrel);
  d.SetBytes(2, 9);
  EXPECT_EQ(BytesOf(d), (std::vector<uint8_t>{1, 2, 9}));
}

// Merging grows the item past its inline buffer; merging an item into itself reads a moving source. An
// item never holds more than 32768 bytes.
TEST(TimedData, MergeTakesTheBytesOfDataItemsOnlyUpTo32768) {
  std::vector<uint8_t> big(32769, 1);
  EXPECT_THROW(TTimedData(0, big.data(), 32769, 1), ERangeError);
  TTimedData half(0, big.data(), 20000, 1);
  EXPECT_THROW(half.Merge(half), ERangeError);
  EXPECT_EQ(half.Count(), 32768);

  const uint8_t a[] = {1, 2}, b[] = {3};
  TTimedData d(10, a, 2, 1);
  d.Merge(TTimedData(99, b, 1, 5));  // time and device are the caller's business
  d.Merge(TEndMarker(10, nullptr));
  for (int i = 0; i < 4; ++i) d.Merge(d);
  std::vector<uint8_t> expected;
  for (int i = 0; i < 16; ++i) expected.insert(expected.end(), {1, 2, 3});
  EXPECT_EQ(BytesOf(d), expected);
  EXPECT_EQ(std::pair(d.Time, d.Device), std::pair(10u, 1));
}

}  // namespace
}  // namespace tambrel
