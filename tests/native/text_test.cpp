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
  // Right at the range's ends: the last digit decides without saturating.
  EXPECT_EQ(ParseDecimal(u"9223372036854775806"), INT64_MAX - 1);
  EXPECT_EQ(ParseDecimal(u"9223372036854775807"), INT64_MAX);
  EXPECT_EQ(ParseDecimalNarrow("-9223372036854775807", 40), INT64_MIN + 1);
  // A character above 0x7F is no digit, whatever its low byte ('1' here).
  EXPECT_EQ(ParseDecimal(u"4\x0131"), 4);
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

// Each encoding length at both of its ends, both ways, and the surrogate
// pairs at theirs.
TEST(TextConversion, Utf8AtEveryLengthBoundary) {
  struct Case {
    Text text;
    std::string utf8;
  } cases[] = {
      {u"\x7F", "\x7F"},
      {u"\x80", "\xC2\x80"},
      {u"\x7FF", "\xDF\xBF"},
      {u"\x800", "\xE0\xA0\x80"},
      {u"\xFFFF", "\xEF\xBF\xBF"},
      {u"\xD800\xDC00", "\xF0\x90\x80\x80"},  // U+10000
      {u"\xD800\xDFFF", "\xF0\x90\x8F\xBF"},  // U+103FF
      {u"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF"},  // U+10FFFF
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToUtf8(c.text), c.utf8);
    EXPECT_EQ(FromUtf8(c.utf8), c.text);
  }
  // Lone surrogates of either half are replaced.
  EXPECT_EQ(ToUtf8(Text(1, u'\xDC00')), "\xEF\xBF\xBD");
  EXPECT_EQ(ToUtf8(Text(1, u'\xDFFF')), "\xEF\xBF\xBD");
  // Fixed texts stay 7-bit whatever byte slips in.
  EXPECT_EQ(FromAscii("a\xE9"), u"ai");
}

}  // namespace
}  // namespace tvn
