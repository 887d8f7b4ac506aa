// Inputs that the fuzz targets of tests/fuzz found, kept as plain tests.
#include <gtest/gtest.h>

#include "description/reader.h"
#include "tests/support/description_fakes.h"

namespace tvn {
namespace {

using testing_fakes::MemorySource;

// A value of the full 2048 bytes without a terminator used to fill field 0
// with 1024 units, leaving its 1024-unit buffer without a terminator. Every
// field now keeps room for one, whatever the data.
TEST(FuzzRegressionTest, FieldNeverFillsItsWholeBuffer) {
  MemorySource key;
  DescriptionReader reader(key);
  ASSERT_TRUE(reader.Open(u"Software\\TVN\\1"));

  key.SetUnterminated("0#3", Text(1024, u'y'));
  ASSERT_TRUE(reader.Read(u"0#3"));
  EXPECT_EQ(reader.Field(0).size(), kFieldUnits - 1);
  EXPECT_EQ(DecodeText(reader, u"0#3"), Text(1023, u'y'));

  // The font face and icon file come from the same fields.
  key.SetUnterminated("0#7", Text(1024, u'f'));
  EXPECT_EQ(DecodeFont(reader, u"0#7").face.size(), kFieldUnits - 1);

  // With a '#' in the data no field can come near the limit; the walk is
  // unchanged there.
  Text split(1023, u'a');
  split[511] = u'#';
  key.SetUnterminated("0#0", split);
  ASSERT_TRUE(reader.Read(u"0#0"));
  EXPECT_EQ(reader.Field(0).size(), 511u);
  EXPECT_EQ(reader.Field(1).size(), 511u);
}

// Split on its own takes any number of units and still bounds every field.
TEST(FuzzRegressionTest, SplitBoundsEveryFieldForLongInput) {
  ValueFields fields;
  Text units(3000, u'z');
  units[1500] = u'#';
  fields.Split(units.data(), units.size());
  EXPECT_EQ(fields.Field(0).size(), kFieldUnits - 1);
  EXPECT_EQ(fields.Field(1).size(), kFieldUnits - 1);
  EXPECT_TRUE(fields.Field(2).empty());
  fields.Clear();
  EXPECT_TRUE(fields.Field(0).empty());
  EXPECT_TRUE(fields.Field(1).empty());
}

}  // namespace
}  // namespace tvn
