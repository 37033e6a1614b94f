#include "player/timed.h"

#include <gtest/gtest.h>

#include <typeinfo>
#include <vector>

#include "player/errors.h"
#include "support/runtime_errors.h"

namespace tambrel {
namespace {

std::vector<uint8_t> BytesOf(const TTimedData& d) {
  return {d.Data(), d.Data() + d.Count()};
}

TEST(TimedDump, LinesOfEachKind) {
  const uint8_t bytes[] = {144, 60, 100};
  EXPECT_EQ(TTimedNop(62500).Dump(), "00001:02.500");
  EXPECT_EQ(TEndMarker(62500, nullptr).Dump(), "00001:02.500  End marker");
  EXPECT_EQ(TTimedData(1500, bytes, 3, 3).Dump(), "00000:01.500  00003 90 3C 64");
  EXPECT_EQ(TTimedData(1500, bytes, 0, 3).Dump(), "00000:01.500  00003");
  EXPECT_EQ(TTimedData(0, bytes, 1, -3).Dump(), "00000:00.000  -00003 90");
}

TEST(TimedData, BytesOutsideCountRaiseIndexErrorAndChangeNothing) {
  const uint8_t bytes[] = {1, 2, 3};
  TTimedData d(0, bytes, 3, 1);
  try {
    (void)d.Bytes(5);
    FAIL() << "no error";
  } catch (const EIndexError& e) {
    EXPECT_STREQ(e.what(), "TTimedData index (5) out of range [0..2]");
  }
  EXPECT_THROW((void)d.Bytes(-1), EIndexError);
  EXPECT_THROW(d.SetBytes(3, 9), ETambrel);
  d.SetBytes(2, 9);
  EXPECT_EQ(BytesOf(d), (std::vector<uint8_t>{1, 2, 9}));
}

TEST(TimedData, CreationFormsAndGrowthAcrossTheInlineBuffer) {
  const int32_t values[] = {300, -1, 127, 256};
  auto d = TTimedData::CreateFromValues(7, 2, 4, values);
  EXPECT_EQ(BytesOf(*d), (std::vector<uint8_t>{0x2C, 0xFF, 0x7F, 0x00}));
  EXPECT_EQ(TTimedData::CreateFromValues(7, 2, -2, values)->Capacity(), -2);
  TTimedData grown(0, nullptr, -5, 1);  // a negative capacity grows like an empty one
  std::vector<int32_t> capacities;
  std::vector<uint8_t> expected;
  for (int i = 0; i < 40; ++i) {
    grown.AddByte(static_cast<uint8_t>(i * 7));
    expected.push_back(static_cast<uint8_t>(i * 7));
    if (capacities.empty() || capacities.back() != grown.Capacity()) capacities.push_back(grown.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<int32_t>{1, 2, 4, 8, 16, 32, 64}));
  EXPECT_EQ(BytesOf(grown), expected);
  grown.SetCapacity(5);  // back into the inline buffer
  EXPECT_EQ(BytesOf(grown), std::vector<uint8_t>(expected.begin(), expected.begin() + 5));
}

TEST(TimedData, NeverHoldsMoreThan32768Bytes) {
  std::vector<uint8_t> big(32769, 1);
  EXPECT_THROW(TTimedData(0, big.data(), 32769, 1), ERangeError);
  TTimedData half(0, big.data(), 20000, 1);
  EXPECT_THROW(half.Merge(half), ERangeError);
  EXPECT_EQ(half.Count(), 32768);
}

TEST(TimedData, MergeAndClone) {
  const uint8_t a[] = {1, 2};
  const uint8_t b[] = {3};
  TTimedData d(10, a, 2, 1);
  d.Merge(TTimedData(99, b, 1, 5));  // time and device are the caller's business
  d.Merge(TEndMarker(10, nullptr));
  d.Merge(d);
  EXPECT_EQ(BytesOf(d), (std::vector<uint8_t>{1, 2, 3, 1, 2, 3}));
  auto copy = d.Clone();
  auto& data = dynamic_cast<TTimedData&>(*copy);
  EXPECT_EQ(data.Capacity(), 6);
  EXPECT_EQ(BytesOf(data), BytesOf(d));
  EXPECT_EQ(data.Time, 10u);
  EXPECT_EQ(data.Device, 1);
  EXPECT_EQ(typeid(*TTimedNop(4).Clone()), typeid(TTimed));
  auto* source = reinterpret_cast<TTambrel*>(&d);
  EXPECT_EQ(dynamic_cast<TEndMarker&>(*TEndMarker(8, source).Clone()).Source, source);
}

}  // namespace
}  // namespace tambrel
