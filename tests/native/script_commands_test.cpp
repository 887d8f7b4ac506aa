#include "launcher/script_commands.h"

#include <gtest/gtest.h>

#include <vector>

namespace tvn {
namespace {

// What the command interpreter makes of the text after "/c" when that text
// starts with a double quote and holds more than two: it strips the first and
// the last quote of the line and keeps the rest as it is.
Text AfterSlashC(const Text& line) {
  const std::size_t c = line.find(u"/c ");
  if (c == Text::npos) return Text();
  Text rest = line.substr(c + 3);
  while (!rest.empty() && rest[0] == u' ') rest.erase(0, 1);
  std::size_t quotes = 0;
  for (char16_t ch : rest) quotes += ch == u'"';
  if (!rest.empty() && rest[0] == u'"' && quotes > 2) {
    rest.erase(0, 1);
    rest.erase(rest.rfind(u'"'), 1);
  }
  return rest;
}

// The words of a command as the interpreter sees them: blanks outside quotes
// separate them, quotes group and are dropped, and a redirection (">" or
// ">>") ends a word and starts its own.
std::vector<Text> Words(const Text& command) {
  std::vector<Text> words;
  Text word;
  bool quoted = false, any = false;
  auto flush = [&] {
    if (any) words.push_back(word);
    word.clear();
    any = false;
  };
  for (std::size_t i = 0; i < command.size(); ++i) {
    const char16_t ch = command[i];
    if (ch == u'"') {
      quoted = !quoted;
      any = true;
    } else if (ch == u' ' && !quoted) {
      flush();
    } else if (ch == u'>' && !quoted) {
      flush();
      const bool append = i + 1 < command.size() && command[i + 1] == u'>';
      words.push_back(append ? u">>" : u">");
      if (append) ++i;
    } else {
      word.push_back(ch);
      any = true;
    }
  }
  flush();
  return words;
}

const Text kHost = u"C:\\Program Files\\Win Dir\\system32\\cscript.exe";
const Text kScript = u"C:\\Temp Dir\\TVN_12.script";
const Text kLog = u"C:\\Temp Dir\\TVN_diag.log";

Text Line(ScriptRun run, const Text& host = kHost) {
  Text line;
  EXPECT_TRUE(ScriptCommandLine(run, host, kScript, 12, kLog, line));
  return line;
}

TEST(ScriptCommands, EveryRunNamesTheHostByPathWithItsWordAndRedirection) {
  EXPECT_EQ(Line(ScriptRun::LogonDescription),
            u" /c \"\"C:\\Program Files\\Win Dir\\system32\\cscript.exe\" /nologo /e:javascript "
            u"\"C:\\Temp Dir\\TVN_12.script\" d1 12\"");
  EXPECT_EQ(Line(ScriptRun::DiagnosticsFirst),
            u" /c \"\"C:\\Program Files\\Win Dir\\system32\\cscript.exe\" /e:javascript "
            u"\"C:\\Temp Dir\\TVN_12.script\" d1 12>\"C:\\Temp Dir\\TVN_diag.log\"\"");

  // What the interpreter runs: the host by its full path, blanks and all,
  // with the argument words and the redirection of each run.
  struct Expected {
    ScriptRun run;
    std::vector<Text> words;
  };
  const Expected expected[] = {
      {ScriptRun::LogonDescription, {kHost, u"/nologo", u"/e:javascript", kScript, u"d1", u"12"}},
      {ScriptRun::CommandDescription, {kHost, u"/nologo", u"/e:javascript", kScript, u"d2", u"12"}},
      {ScriptRun::CleanUp, {kHost, u"/nologo", u"/e:javascript", kScript, u"f", u"12"}},
      {ScriptRun::DiagnosticsFirst, {kHost, u"/e:javascript", kScript, u"d1", u"12", u">", kLog}},
      {ScriptRun::DiagnosticsSecond, {kHost, u"/nologo", u"/e:javascript", kScript, u"d2", u"12", u">>", kLog}},
      {ScriptRun::DiagnosticsThird, {kHost, u"/nologo", u"/e:javascript", kScript, u"f", u"12", u">>", kLog}},
  };
  for (const Expected& e : expected) {
    const Text line = Line(e.run);
    EXPECT_EQ(line.rfind(u" /c \"", 0), 0u) << ToUtf8(line);
    EXPECT_EQ(Words(AfterSlashC(line)), e.words) << ToUtf8(line);
  }
}

TEST(ScriptCommands, AHostWithoutBlanksRunsTheSame) {
  const Text host = u"C:\\WINDOWS\\system32\\cscript.exe";
  const Text line = Line(ScriptRun::CleanUp, host);
  EXPECT_EQ(Words(AfterSlashC(line)), (std::vector<Text>{host, u"/nologo", u"/e:javascript", kScript, u"f", u"12"}));
}

TEST(ScriptCommands, TheLogIsShownByFullPathsThroughTheShell) {
  Text line;
  ASSERT_TRUE(ShowLogCommandLine(u"C:\\Win Dir\\system32\\cmd.exe", u"C:\\Win Dir\\system32\\notepad.exe", kLog, line));
  EXPECT_EQ(line,
            u"\"C:\\Win Dir\\system32\\cmd.exe\" /c \"\"C:\\Win Dir\\system32\\notepad.exe\" "
            u"\"C:\\Temp Dir\\TVN_diag.log\"\"");
  EXPECT_EQ(Words(AfterSlashC(line)), (std::vector<Text>{u"C:\\Win Dir\\system32\\notepad.exe", kLog}));
}

TEST(ScriptCommands, OverlongLinesAreRefusedNotCut) {
  const Text script(1023, u's');
  const Text log(1023, u'l');
  Text line = u"old";
  EXPECT_FALSE(ScriptCommandLine(ScriptRun::DiagnosticsFirst, kHost, script, 4294967295u, log, line));
  EXPECT_TRUE(line.empty());
  EXPECT_FALSE(ScriptCommandLine(ScriptRun::LogonDescription, kHost, Text(3000, u's'), 1, log, line));
  // The longest line that fits the 2048-unit buffer is kept whole.
  const Text base = Line(ScriptRun::LogonDescription);
  const Text longest(kScript.size() + (kCommandUnits - 1 - base.size()), u's');
  ASSERT_TRUE(ScriptCommandLine(ScriptRun::LogonDescription, kHost, longest, 12, kLog, line));
  EXPECT_EQ(line.size(), kCommandUnits - 1);
  EXPECT_FALSE(ScriptCommandLine(ScriptRun::LogonDescription, kHost, longest + u"s", 12, kLog, line));

  EXPECT_FALSE(ShowLogCommandLine(u"C:\\cmd.exe", u"C:\\notepad.exe", Text(2040, u'l'), line));
  EXPECT_TRUE(line.empty());
}

TEST(ScriptCommands, AnUnknownProgramGivesNoLine) {
  Text line = u"old";
  EXPECT_FALSE(ScriptCommandLine(ScriptRun::CleanUp, u"", kScript, 12, kLog, line));
  EXPECT_TRUE(line.empty());
  EXPECT_FALSE(ShowLogCommandLine(u"", u"C:\\notepad.exe", kLog, line));
  EXPECT_FALSE(ShowLogCommandLine(u"C:\\cmd.exe", u"", kLog, line));
}

}  // namespace
}  // namespace tvn
