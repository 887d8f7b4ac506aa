#include "base/text.h"

#include <gtest/gtest.h>

namespace tvn {
namespace {

TEST(DecimalConversion, ReadsLikeTheRuntimeConversion) {
  struct Case {
    const char16_t* text;
    std::int64_t value;
  } cases[] = {
      {u"750", 750}, {u"750abc", 750}, {u" \t\r\n5", 5}, {u"2x", 2},           {u"", 0}, {u"abc", 0}, {u"-1", -1},
      {u"+12", 12},  {u"- 1", 0},      {u"--1", 0},      {u"\x0661\x0662", 0},  // non-ASCII digits are no digits
      {u"0x10", 0},  {u"3 word", 3},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseDecimal(c.text), c.value) << ToUtf8(c.text);
}

TEST(DecimalConversion, OnlyNineteenCharactersAreReadAndOverflowSaturates) {
  EXPECT_EQ(ParseDecimal(u"1234567890123456789"), 1234567890123456789LL);
  EXPECT_EQ(ParseDecimal(u"12345678901234567890123"), 1234567890123456789LL);
  EXPECT_EQ(ParseDecimalNarrow("99999999999999999999", 40), INT64_MAX);
  EXPECT_EQ(ParseDecimalNarrow("-99999999999999999999", 40), INT64_MIN);
  EXPECT_EQ(ParseDecimalNarrow("-9223372036854775808", 40), INT64_MIN);
  EXPECT_EQ(ParseInt32(u"4000000000"), static_cast<std::int32_t>(4000000000u));
}

TEST(TextFormatting, StopsAtCapacityAndStaysTerminated) {
  EXPECT_EQ(FormatText(u"%sTVN_%d.script", 1024, {u"C:\\T\\", u"12"}), u"C:\\T\\TVN_12.script");
  EXPECT_EQ(FormatText(u"%s%s", 5, {u"abc", u"def"}), u"abcd");
  EXPECT_EQ(FormatText(u"100%%", 16, {}), u"100%");
  EXPECT_EQ(FormatText(u"%s", 0, {u"x"}), u"");
  EXPECT_EQ(Truncated(u"abc", 1), u"");
}

TEST(TextConversion, Utf8RoundTripsAndRepairsBadInput) {
  const Text russian = u"TVN3: Авторизация \U0001F600";
  EXPECT_EQ(FromUtf8(ToUtf8(russian)), russian);
  EXPECT_EQ(FromUtf8("\xC3"), u"\xFFFD");
  EXPECT_EQ(FromUtf8("a\xE2\x28"
                     "b")
                .front(),
            u'a');
  EXPECT_EQ(ToUtf8(Text(1, u'\xD800')), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace tvn
