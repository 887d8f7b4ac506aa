#include <gtest/gtest.h>

#include "description/reader.h"
#include "tests/support/description_fakes.h"

namespace tvn {
namespace {

using testing_fakes::MemorySource;

class ReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(reader.Open(u"Software\\TVN\\42")); }
  std::string F(std::size_t i) { return ToUtf8(reader.Field(i)); }

  MemorySource key;
  DescriptionReader reader{key};
};

TEST(DescriptionKeyTest, NamesKeyAndValues) {
  EXPECT_EQ(DescriptionKey::SubKey(4321), u"Software\\TVN\\4321");
  EXPECT_EQ(DescriptionKey::ValueName(u"0.4.%d#3", {7}), u"0.4.7#3");
  EXPECT_EQ(DescriptionKey::ValueName(u"1.3.%d.%d#4", {2, 10}), u"1.3.2.10#4");
  EXPECT_EQ(DescriptionKey::ValueName(u"1.3#20"), u"1.3#20");
}

TEST(DescriptionReaderOpenTest, OpenAndCloseCarryTheStatus) {
  MemorySource key;
  key.openStatus = kStatusFileNotFound;
  DescriptionReader reader(key);
  EXPECT_FALSE(reader.Open(u"Software\\TVN\\1"));
  EXPECT_EQ(reader.lastError(), kStatusFileNotFound);
  EXPECT_FALSE(reader.Read(u"0#3"));  // no key: missing, never a crash
  EXPECT_EQ(reader.lastError(), kStatusInvalidHandle);
  EXPECT_TRUE(reader.Close());  // nothing open
  EXPECT_EQ(key.closes, 0);

  key.openStatus = 0;
  key.closeStatus = 6;
  ASSERT_TRUE(reader.Open(u"Software\\TVN\\1"));
  EXPECT_EQ(reader.lastError(), 0u);
  EXPECT_FALSE(reader.Close());
  EXPECT_EQ(reader.lastError(), 6u);
  EXPECT_EQ(key.closes, 1);
}

TEST(DescriptionReaderOpenTest, DestroyClosesAnOpenKey) {
  MemorySource key;
  {
    DescriptionReader reader(key);
    ASSERT_TRUE(reader.Open(u"k"));
  }
  EXPECT_EQ(key.closes, 1);
}

// Misuse of the reader's life cycle: a second Open, a Close too many, reads
// after the close, and a failed step followed by good ones.
TEST(DescriptionReaderOpenTest, LifecycleMisuseStaysConsistent) {
  MemorySource key;
  key.SetUtf8("v", "value");
  {
    DescriptionReader reader(key);
    ASSERT_TRUE(reader.Open(u"first"));
    ASSERT_TRUE(reader.Open(u"second"));  // closes the first key before opening again
    EXPECT_EQ(key.opens, 2);
    EXPECT_EQ(key.closes, 1);
    EXPECT_EQ(key.openedKey, u"second");
    EXPECT_FALSE(reader.Read(u"absent"));
    EXPECT_TRUE(reader.Read(u"v"));  // a good read after a failed one reports success
    EXPECT_EQ(reader.lastError(), 0u);
    EXPECT_EQ(reader.Field(0), u"value");

    key.closeStatus = kStatusInvalidHandle;
    EXPECT_FALSE(reader.Close());
    EXPECT_FALSE(reader.isOpen());
    key.closeStatus = 0;
    EXPECT_TRUE(reader.Close());  // nothing open any more: success, the old error is gone
    EXPECT_EQ(reader.lastError(), 0u);
    EXPECT_FALSE(reader.Read(u"v"));  // use after Close
    EXPECT_EQ(reader.lastError(), kStatusInvalidHandle);
    EXPECT_EQ(reader.Field(0), u"");

    key.openStatus = kStatusFileNotFound;
    EXPECT_FALSE(reader.Open(u"third"));
    EXPECT_FALSE(reader.isOpen());
  }
  EXPECT_EQ(key.closes, 2);  // the destructor closes nothing that is not open
  EXPECT_EQ(key.closesUnopened, 0);
}

TEST_F(ReaderTest, SplitsAtHash) {
  key.SetUtf8("a", "arial#15#1");
  ASSERT_TRUE(reader.Read(u"a"));
  EXPECT_EQ(F(0), "arial");
  EXPECT_EQ(F(1), "15");
  EXPECT_EQ(F(2), "1");
  EXPECT_EQ(F(3), "");

  // Nine '#' fill all ten fields.
  key.SetUtf8("ten", "0#1#2#3#4#5#6#7#8#9");
  ASSERT_TRUE(reader.Read(u"ten"));
  for (int i = 0; i < 10; ++i) EXPECT_EQ(F(i), std::to_string(i));
  EXPECT_EQ(F(10), "");  // out of range reads as empty

  // Ten or more '#': the surplus is dropped, field 9 keeps its own text only.
  key.SetUtf8("more", "0#1#2#3#4#5#6#7#8#9#10#11");
  ASSERT_TRUE(reader.Read(u"more"));
  EXPECT_EQ(F(9), "9");
  key.SetText("hashes", Text(1023, u'#'));
  ASSERT_TRUE(reader.Read(u"hashes"));
  for (int i = 0; i < 10; ++i) EXPECT_EQ(F(i), "");

  // An empty value is one empty field, and a successful read.
  key.SetText("empty", u"");
  EXPECT_TRUE(reader.Read(u"empty"));
  EXPECT_EQ(reader.lastError(), 0u);
  EXPECT_EQ(F(0), "");
}

TEST_F(ReaderTest, ShorterValueAfterLongerLeavesNothingBehind) {
  key.SetUtf8("long", "abcdefgh#ijklmnop#qrstuvwx#yz");
  key.SetUtf8("short", "x");
  ASSERT_TRUE(reader.Read(u"long"));
  ASSERT_TRUE(reader.Read(u"short"));
  EXPECT_EQ(F(0), "x");
  for (int i = 1; i < 10; ++i) EXPECT_EQ(F(i), "");
  // A failed read clears as well.
  ASSERT_TRUE(reader.Read(u"long"));
  EXPECT_FALSE(reader.Read(u"absent"));
  EXPECT_EQ(reader.lastError(), kStatusFileNotFound);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(F(i), "");
}

TEST_F(ReaderTest, DamagedDataReadsSafely) {
  // Odd byte count: only whole units ("ab" and half of "c").
  key.SetBytes("odd", {'a', 0, 'b', 0, 'c'});
  ASSERT_TRUE(reader.Read(u"odd"));
  EXPECT_EQ(F(0), "ab");
  // No terminator: the text ends with the data.
  key.SetUnterminated("noterm", u"abc#de");
  ASSERT_TRUE(reader.Read(u"noterm"));
  EXPECT_EQ(F(0), "abc");
  EXPECT_EQ(F(1), "de");
  // A NUL inside the data ends the field's text.
  key.SetText("nul", Text(u"ab\0cd#ef", 8));
  ASSERT_TRUE(reader.Read(u"nul"));
  EXPECT_EQ(F(0), "ab");
  EXPECT_EQ(F(1), "ef");
  // 1023 characters and the terminator fit exactly; 1024 characters do not.
  key.SetText("max", Text(1023, u'x'));
  ASSERT_TRUE(reader.Read(u"max"));
  EXPECT_EQ(reader.Field(0).size(), 1023u);
  // 1024 characters without a terminator: the field keeps room for its own
  // terminator, so the last character is dropped.
  key.SetUnterminated("full", Text(1024, u'y'));
  ASSERT_TRUE(reader.Read(u"full"));
  EXPECT_EQ(reader.Field(0), Text(1023, u'y'));
  // Exactly the 2048 bytes of the buffer, which the source fills to its last
  // byte: accepted, and nothing past the data (poison here) is read.
  key.poison = 'p';
  key.SetUnterminated("exact", Text(1023, u'y') + u"#");
  ASSERT_TRUE(reader.Read(u"exact"));
  EXPECT_EQ(reader.Field(0), Text(1023, u'y'));
  EXPECT_EQ(F(1), "");
  key.SetBytes("odd poison", {'a', 0, 'b'});  // an odd count: the half unit is not read
  ASSERT_TRUE(reader.Read(u"odd poison"));
  EXPECT_EQ(F(0), "a");
  key.SetText("over", Text(1024, u'x'));
  EXPECT_FALSE(reader.Read(u"over"));
  EXPECT_EQ(reader.lastError(), kStatusMoreData);
  EXPECT_EQ(F(0), "");
  // A source that reports more bytes than the buffer holds: missing, no overrun.
  key.overreport = true;
  key.SetText("huge", Text(5000, u'z'));
  EXPECT_FALSE(reader.Read(u"huge"));
  EXPECT_EQ(reader.lastError(), kStatusMoreData);
  EXPECT_EQ(F(0), "");
}

TEST_F(ReaderTest, TextDecoderTakesFieldZero) {
  key.SetUtf8("cap", "TVN3: Помощь#not shown");
  EXPECT_EQ(ToUtf8(DecodeText(reader, u"cap")), "TVN3: Помощь");
  EXPECT_EQ(DecodeText(reader, u"absent"), u"");
}

TEST_F(ReaderTest, IsOneDecoder) {
  for (const char* yes : {"1", "1x", "10"}) {
    key.SetUtf8("v", yes);
    EXPECT_TRUE(DecodeIsOne(reader, u"v")) << yes;
  }
  for (const char* no : {"0", "", "true", " 1", "01"}) {
    key.SetUtf8("v", no);
    EXPECT_FALSE(DecodeIsOne(reader, u"v")) << no;
  }
  EXPECT_FALSE(DecodeIsOne(reader, u"absent"));
}

TEST_F(ReaderTest, IntegerDecoder) {
  struct Case {
    const char* text;
    std::int32_t value;
  } cases[] = {{"3", 3},
               {"3 word", 3},
               {"", 0},
               {" 5", 5},
               {"2x", 2},
               {"abc", 0},
               {"-1", -1},
               {"16711680", 16711680},
               {"32768#9", 32768},
               {"4000000000", -294967296},
               {"99999999999999999999999", -1},
               {"١٢", 0}};
  for (const Case& c : cases) {
    key.SetUtf8("n", c.text);
    EXPECT_EQ(DecodeInteger(reader, u"n"), c.value) << c.text;
  }
  EXPECT_EQ(DecodeInteger(reader, u"absent"), 0);
}

TEST_F(ReaderTest, IconDecoder) {
  key.SetUtf8("i1", "regedit.exe#0");
  key.SetUtf8("i2", "shell32.dll");
  key.SetUtf8("i3", "mycomput.dll#2#junk");
  IconSpec a = DecodeIcon(reader, u"i1");
  EXPECT_TRUE(a.present);
  EXPECT_EQ(a.file, u"regedit.exe");
  EXPECT_EQ(a.index, 0);
  IconSpec b = DecodeIcon(reader, u"i2");
  EXPECT_EQ(b.file, u"shell32.dll");
  EXPECT_EQ(b.index, 0);
  EXPECT_EQ(DecodeIcon(reader, u"i3").index, 2);
  EXPECT_FALSE(DecodeIcon(reader, u"absent").present);
}

TEST_F(ReaderTest, FontDecoder) {
  key.SetUtf8("f1", "arial#14");
  key.SetUtf8("f2", "arial#15#1");
  key.SetUtf8("f3", "Tahoma#-11#0#1#1#1#x#x#x#x");
  FontSpec a = DecodeFont(reader, u"f1");
  EXPECT_EQ(a.face, u"arial");
  EXPECT_EQ(a.height, 14);
  EXPECT_EQ(a.weight, 400);
  EXPECT_FALSE(a.italic || a.underline || a.strikeOut);
  FontSpec b = DecodeFont(reader, u"f2");
  EXPECT_EQ(b.height, 15);
  EXPECT_EQ(b.weight, 700);
  FontSpec c = DecodeFont(reader, u"f3");
  EXPECT_EQ(c.height, -11);
  EXPECT_EQ(c.weight, 400);
  EXPECT_TRUE(c.italic && c.underline && c.strikeOut);
  FontSpec missing = DecodeFont(reader, u"absent");
  EXPECT_EQ(missing.face, u"");
  EXPECT_EQ(missing.height, 0);
  EXPECT_EQ(missing.weight, 400);
}

}  // namespace
}  // namespace tvn
