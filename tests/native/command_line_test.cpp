#include "launcher/command_line.h"

#include <gtest/gtest.h>

namespace tvn {
namespace {

CommandLineOptions Parse(const char16_t* text) { return ParseCommandLine(text); }

TEST(CommandLineParse, ModeLettersOutsideQuotes) {
  struct Case {
    const char16_t* line;
    UiMode ui;
    ToolMode tool;
  } cases[] = {
      {u"", UiMode::Logon, ToolMode::None},
      {u" c", UiMode::Commands, ToolMode::None},
      {u" t", UiMode::Diagnostics, ToolMode::None},
      {u" a", UiMode::Logon, ToolMode::None},
      {u"a c", UiMode::Commands, ToolMode::None},  // the later letter wins
      {u"c a", UiMode::Logon, ToolMode::None},
      {u"ct", UiMode::Diagnostics, ToolMode::None},
      {u"C T A", UiMode::Logon, ToolMode::None},  // upper case is ignored
      {u"exit", UiMode::Diagnostics, ToolMode::UpdateResource},
      {u"/c -t 7", UiMode::Diagnostics, ToolMode::None},
      {u"\"c\"", UiMode::Logon, ToolMode::None},  // a quoted letter is an argument
  };
  for (const Case& c : cases) {
    CommandLineOptions options = Parse(c.line);
    EXPECT_EQ(options.uiMode, c.ui) << ToUtf8(c.line);
    EXPECT_EQ(options.toolMode, c.tool) << ToUtf8(c.line);
  }
}

TEST(CommandLineParse, QuotedRunsFillSlotsInOrder) {
  CommandLineOptions options = Parse(u"e \"out.bin\" \"10\" \"750\"");
  EXPECT_EQ(options.toolMode, ToolMode::ExtractResource);
  EXPECT_EQ(options.arguments[0], u"out.bin");
  EXPECT_EQ(options.arguments[1], u"10");
  EXPECT_EQ(options.arguments[2], u"750");
  EXPECT_EQ(options.arguments[3], u"");

  // Letters between quoted runs still count; blanks inside quotes are kept.
  options = Parse(u"\"C:\\a b\\x.exe\"c\"  \"");
  EXPECT_EQ(options.uiMode, UiMode::Commands);
  EXPECT_EQ(options.arguments[0], u"C:\\a b\\x.exe");
  EXPECT_EQ(options.arguments[1], u"  ");

  // An empty quoted run still takes a slot.
  options = Parse(u"\"\"\"x\"");
  EXPECT_EQ(options.arguments[0], u"");
  EXPECT_EQ(options.arguments[1], u"x");
}

TEST(CommandLineParse, UnterminatedQuoteKeepsWhatWasRead) {
  CommandLineOptions options = Parse(u"e \"abc");
  EXPECT_EQ(options.toolMode, ToolMode::ExtractResource);
  EXPECT_EQ(options.arguments[0], u"abc");
  // Letters inside the open quote are not modes.
  EXPECT_EQ(options.uiMode, UiMode::Logon);
}

TEST(CommandLineParse, LongArgumentsAreCutMarkedAndNextSlotStillFills) {
  Text line = u"\"" + Text(1030, u'x') + u"\" \"next\" \"" + Text(kArgumentChars, u'y') + u"\"";
  CommandLineOptions options = ParseCommandLine(line);
  EXPECT_EQ(options.arguments[0], Text(kArgumentChars, u'x'));
  EXPECT_TRUE(options.overflowed[0]);
  EXPECT_EQ(options.arguments[1], u"next");
  EXPECT_FALSE(options.overflowed[1]);
  // Exactly 1024 characters fit.
  EXPECT_EQ(options.arguments[2], Text(kArgumentChars, u'y'));
  EXPECT_FALSE(options.overflowed[2]);
  // One more, even in an argument whose quote never closes, does not.
  options = ParseCommandLine(u"e \"" + Text(kArgumentChars + 1, u'z'));
  EXPECT_EQ(options.arguments[0].size(), kArgumentChars);
  EXPECT_TRUE(options.overflowed[0]);
}

TEST(CommandLineParse, ToolModesRefuseTheOverflowedArgumentsTheyRead) {
  const Text longText(kArgumentChars + 1, u'7');
  const Text fits(kArgumentChars, u'7');
  auto quoted = [](const Text& t) { return u"\"" + t + u"\" "; };
  struct Case {
    Text line;
    std::uint32_t error;
  };
  const Case cases[] = {
      {u"e " + quoted(longText) + u"\"10\" \"750\"", kFilenameTooLong},
      {u"e \"out\" " + quoted(longText) + u"\"750\"", kBufferTooSmall},
      {u"e \"out\" \"10\" " + quoted(longText), kBufferTooSmall},
      {u"e \"out\" \"10\" \"750\" " + quoted(longText), 0},  // e reads no fourth argument
      {u"e " + quoted(fits) + u"\"10\" \"750\"", 0},
      {u"i \"data\" " + quoted(longText) + u"\"10\" \"750\"", kFilenameTooLong},
      {u"i " + quoted(longText) + u"\"x.exe\" \"10\" \"750\"", kFilenameTooLong},
      {u"i \"data\" \"x.exe\" \"10\" " + quoted(longText), kBufferTooSmall},
      {u"i \"data\" \"x.exe\" \"10\" \"750\" " + quoted(longText), 0},
      {u"c " + quoted(longText), 0},  // the dialog modes read no argument
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RefusedArgumentError(ParseCommandLine(c.line)), c.error) << ToUtf8(c.line.substr(0, 40));
  }
}

TEST(CommandLineParse, SixthAndLaterArgumentsAreIgnored) {
  Text line;
  for (int i = 0; i < 9; ++i) line += u"\"" + FormatNumber(i) + u"\" ";
  line += u"c";
  CommandLineOptions options = ParseCommandLine(line);
  for (std::size_t i = 0; i < kArgumentCount; ++i) EXPECT_EQ(options.arguments[i], FormatNumber(static_cast<int>(i)));
  EXPECT_EQ(options.uiMode, UiMode::Commands);
}

TEST(CommandLineParse, HugeHostileLinesParseWithinLimits) {
  Text line;
  for (int i = 0; i < 10000; ++i) line.push_back(static_cast<char16_t>(u'"' + (i % 7 == 0 ? 0 : (i % 90) + 1)));
  line += Text(10000, u'"');
  line += Text(5000, u'\0');
  CommandLineOptions options = ParseCommandLine(line);
  for (const Text& argument : options.arguments) EXPECT_LE(argument.size(), kArgumentChars);
}

TEST(ProgramNameRemoval, FollowsTheStartUpRule) {
  struct Case {
    const char16_t* full;
    const char16_t* rest;
  } cases[] = {
      {u"\"C:\\Program Files\\TVN.exe\" c", u"c"},
      {u"\"C:\\Program Files\\TVN.exe\"c", u"c"},
      {u"TVN.exe   e \"x\"", u"e \"x\""},
      {u"TVN.exe", u""},
      {u" c", u"c"},  // a leading blank: no program name is removed
      {u"\t\tt", u"t"},
      {u"", u""},
      {u"\"unterminated c", u""},
      {u"C:\\TVN.exe\t\r\n a", u"a"},
      {u"TVN.exe\tc", u"c"},  // any character up to the blank ends an unquoted name
  };
  for (const Case& c : cases) EXPECT_EQ(Text(StripProgramName(c.full)), c.rest) << ToUtf8(c.full);
  // The tool starts its copies with a blank and a letter: the letter reaches the parser.
  EXPECT_EQ(ParseCommandLine(StripProgramName(u" c")).uiMode, UiMode::Commands);
}

}  // namespace
}  // namespace tvn
