#include "launching/command_split.h"

#include <gtest/gtest.h>

namespace tvn {
namespace {

struct SplitCase {
  const char16_t* command;
  const char16_t* file;
  const char16_t* parameters;
};

void ExpectSplit(const SplitCase& c) {
  CommandSplit split = SplitCommandText(c.command);
  EXPECT_EQ(split.file, Text(c.file)) << ToUtf8(c.command);
  EXPECT_EQ(split.parameters, Text(c.parameters)) << ToUtf8(c.command);
}

TEST(CommandSplit, QuotedPathWithBlanksThenWords) {
  ExpectSplit(
      {u"\"C:\\Program Files\\App\\app.exe\" /a \"b c\" d", u"C:\\Program Files\\App\\app.exe", u"/a \"b c\" d"});
}

TEST(CommandSplit, SecondBlankStartsTheParameters) {
  ExpectSplit({u"notepad.exe  file.txt", u"notepad.exe", u" file.txt"});
}

TEST(CommandSplit, QuotesInsideTheFirstWordJoinAndVanish) {
  ExpectSplit({u"C:\\Pro\"gram Fi\"les\\x.exe arg", u"C:\\Program Files\\x.exe", u"arg"});
  ExpectSplit({u"\"\"app.exe", u"app.exe", u""});
}

TEST(CommandSplit, WithoutBlanksAllIsTheFile) {
  ExpectSplit({u"regedit.exe", u"regedit.exe", u""});
  ExpectSplit({u"control.exe,x;y", u"control.exe,x;y", u""});
}

TEST(CommandSplit, EmptyTextGivesEmptyParts) {
  ExpectSplit({u"", u"", u""});
  ExpectSplit({u" ", u"", u""});
  ExpectSplit({u"\"\"", u"", u""});
}

TEST(CommandSplit, LineFeedsVanishCarriageReturnsStay) {
  ExpectSplit({u"no\ntepad\r a\nb\r\n", u"notepad\r", u"ab\r"});
  ExpectSplit({u"\n\n", u"", u""});
}

TEST(CommandSplit, TabsActLikeBlanks) {
  ExpectSplit({u"cmd\t/c\tdir", u"cmd", u"/c\tdir"});
  ExpectSplit({u"\"a\tb\"\tc", u"a\tb", u"c"});
}

TEST(CommandSplit, UnterminatedQuoteKeepsTheRestInTheFile) {
  ExpectSplit({u"\"C:\\My Dir\\a.exe /x", u"C:\\My Dir\\a.exe /x", u""});
}

TEST(CommandSplit, LeadingBlankLeavesAnEmptyFile) {
  // The first blank ends the (empty) file part at once.
  ExpectSplit({u" c", u"", u"c"});
}

}  // namespace
}  // namespace tvn
