// The settings file's reader and writer on their own: what a write changes and keeps.
#include "app/settings_file.h"

#include <gtest/gtest.h>

#include <utility>

namespace tambrel {
namespace {

TEST(SettingsFile, WritesReplaceInPlaceAndAppendWhereTheSectionEnds) {
  TIniFile file;
  file.Parse("top\r\n[A]\r\nx = 1\r\n\r\n[b]\nY=2\n");
  EXPECT_EQ(file.ReadInteger("a", "X", 0), 1);
  file.WriteInteger("A", "x", 5);
  file.WriteString("A", "z", "new");
  file.WriteBool("B", "y", false);
  file.WriteBool("C", "c", true);
  EXPECT_EQ(file.Text(), "top\n[A]\nx=5\nz=new\n\n[b]\ny=0\n[C]\nc=1\n");
}

TEST(SettingsFile, ValuesThatAreNoNumbers) {
  TIniFile file;
  file.Parse("[S]\na=12abc\nb=\nc=+7\nd=-2147483648\ne=2147483648\nf= = 3\n");
  const std::pair<const char*, int32_t> integers[] = {
      {"a", -1}, {"b", -1}, {"c", 7}, {"d", INT32_MIN}, {"e", -1}};
  for (const auto& [key, value] : integers) EXPECT_EQ(file.ReadInteger("S", key, -1), value) << key;
  EXPECT_EQ(file.ReadString("S", "f", "-"), "= 3");
  EXPECT_EQ(file.ReadString("S", "missing", "-"), "-");
  EXPECT_TRUE(file.ReadBool("S", "e", false));
  EXPECT_TRUE(file.ReadBool("S", "a", true));  // not an integer: the fallback
}

}  // namespace
}  // namespace tambrel
