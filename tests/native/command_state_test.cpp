#include "dialogs/command_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>

#include "resources/resource.h"

namespace tvn {
namespace {

CommandState Decide(int focusId, TextView current, const Text* selected = nullptr, TextView line = u"") {
  CommandStateInput input;
  input.focusId = focusId;
  input.selectedCommand = selected;
  input.lineText = line;
  return DecideCommandState(input, current);
}

void ExpectState(const CommandState& state, TextView current, bool ready) {
  EXPECT_EQ(state.current, Text(current));
  EXPECT_EQ(state.ready, ready ? 1 : 0);
  EXPECT_EQ(state.executeEnabled, ready);
}

TEST(CommandState, ListTakesTheSelectedRowsCommand) {
  Text row = u"regedit.exe";
  ExpectState(Decide(kCommandListId, u"old", &row), u"regedit.exe", true);
  // No selection empties the command; an empty row command is not ready.
  ExpectState(Decide(kCommandListId, u"old", nullptr), u"", false);
  Text empty;
  ExpectState(Decide(kCommandListId, u"old", &empty), u"", false);
  // A row command starting with a blank still runs: only the command line checks that.
  Text blank = u" cmd.exe";
  ExpectState(Decide(kCommandListId, u"", &blank), u" cmd.exe", true);
}

TEST(CommandState, CommandLineTextIsKeptButBlankStartIsNotReady) {
  ExpectState(Decide(kCommandLineId, u"old", nullptr, u"notepad.exe"), u"notepad.exe", true);
  ExpectState(Decide(kCommandLineId, u"old", nullptr, u""), u"", false);
  ExpectState(Decide(kCommandLineId, u"old", nullptr, u" notepad.exe"), u" notepad.exe", false);
  ExpectState(Decide(kCommandLineId, u"old", nullptr, u"\tnotepad.exe"), u"\tnotepad.exe", false);
  // Other white space at the start does not count as a blank.
  ExpectState(Decide(kCommandLineId, u"", nullptr, u"\r\nx"), u"\r\nx", true);
  // The line's text is used only while the line has the focus.
  Text row = u"row.exe";
  ExpectState(Decide(kCommandListId, u"", &row, u"typed.exe"), u"row.exe", true);
}

TEST(CommandState, ExecuteKeepsTheCommandOtherControlsDisable) {
  ExpectState(Decide(kCommandExecuteId, u"calc.exe"), u"calc.exe", true);
  ExpectState(Decide(kCommandExecuteId, u""), u"", false);
  // Execute keeps even a command that the line would refuse (the flag only
  // follows emptiness there).
  ExpectState(Decide(kCommandExecuteId, u" x"), u" x", true);
  for (int other : {0, IDC_COMMAND_ICON, IDC_COMMAND_INFO, IDC_COMMAND_BROWSE, IDC_COMMAND_SUPPORT_FILTERS,
                    IDC_COMMAND_START_HIDDEN, IDC_COMMAND_CLOSE, IDC_COMMAND_REFRESH, IDC_COMMAND_AUTHORIZATION,
                    IDC_COMMAND_HELP, 2, -1}) {
    Text row = u"row.exe";
    ExpectState(Decide(other, u"kept.exe", &row, u"line.exe"), u"kept.exe", false);
  }
}

TEST(CommandState, CommandsAreCutTo2047Characters) {
  Text longText(3000, u'a');
  EXPECT_EQ(Decide(kCommandLineId, u"", nullptr, longText).current.size(), 2047u);
  EXPECT_EQ(Decide(kCommandListId, u"", &longText).current.size(), 2047u);
  Text exact(2047, u'b');
  EXPECT_EQ(Decide(kCommandLineId, u"", nullptr, exact).current, exact);
}

TEST(CommandState, TriggeringNotifications) {
  // List: LVN_ITEMCHANGED, NM_SETFOCUS, NM_KILLFOCUS only.
  for (int code : {-101, -7, -8}) EXPECT_TRUE(TriggersCommandStateUpdate(IDC_COMMAND_LIST, code)) << code;
  for (int code : {-100, -5, -3, -12, 0, 6, 7, 0x100})
    EXPECT_FALSE(TriggersCommandStateUpdate(IDC_COMMAND_LIST, code)) << code;
  // Information text: focus changes only.
  EXPECT_TRUE(TriggersCommandStateUpdate(IDC_COMMAND_INFO, 0x100));
  EXPECT_TRUE(TriggersCommandStateUpdate(IDC_COMMAND_INFO, 0x200));
  EXPECT_FALSE(TriggersCommandStateUpdate(IDC_COMMAND_INFO, 0x300));
  // Command line: focus changes and EN_CHANGE, not EN_UPDATE (0x400) or EN_MAXTEXT (0x501).
  for (int code : {0x100, 0x200, 0x300}) EXPECT_TRUE(TriggersCommandStateUpdate(IDC_COMMAND_LINE, code)) << code;
  for (int code : {0x400, 0x501, 0, 6}) EXPECT_FALSE(TriggersCommandStateUpdate(IDC_COMMAND_LINE, code)) << code;
  // Buttons and check boxes: BN_SETFOCUS and BN_KILLFOCUS, never BN_CLICKED.
  for (int id : {IDC_COMMAND_BROWSE, IDC_COMMAND_SUPPORT_FILTERS, IDC_COMMAND_START_HIDDEN, IDC_COMMAND_EXECUTE,
                 IDC_COMMAND_CLOSE, IDC_COMMAND_REFRESH, IDC_COMMAND_AUTHORIZATION, IDC_COMMAND_HELP}) {
    EXPECT_TRUE(TriggersCommandStateUpdate(id, 6)) << id;
    EXPECT_TRUE(TriggersCommandStateUpdate(id, 7)) << id;
    EXPECT_FALSE(TriggersCommandStateUpdate(id, 0)) << id;
    EXPECT_FALSE(TriggersCommandStateUpdate(id, 0x100)) << id;
  }
  // Controls without notifications of interest, and the Escape id.
  for (int id : {IDC_COMMAND_ICON, IDC_COMMAND_SEPARATOR, 2, 0}) {
    for (int code : {0, 6, 7, 0x100, 0x200, 0x300, -101}) EXPECT_FALSE(TriggersCommandStateUpdate(id, code));
  }
}

int CaseInsensitive(const Text& a, const Text& b) {
  auto lower = [](char16_t c) { return static_cast<char16_t>(std::towlower(c)); };
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    char16_t x = lower(a[i]), y = lower(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

TEST(CommandState, CompareTitlesGoesThroughTheRowIndexes) {
  std::vector<CommandEntry> rows(3);
  const char16_t* titles[] = {u"zeta", u"Alpha", u"beta"};
  for (int i = 0; i < 3; ++i) {
    rows[i].text.Allocate(kCaptionUnits);
    rows[i].text.Set(titles[i]);
  }
  EXPECT_GT(CompareCommandTitles(rows, 0, 1, CaseInsensitive), 0);
  EXPECT_LT(CompareCommandTitles(rows, 1, 2, CaseInsensitive), 0);
  EXPECT_EQ(CompareCommandTitles(rows, 2, 2, CaseInsensitive), 0);
  // Sorting the indexes with it orders the rows by title regardless of case.
  std::vector<std::intptr_t> order = {0, 1, 2};
  std::sort(order.begin(), order.end(), [&rows](std::intptr_t a, std::intptr_t b) {
    return CompareCommandTitles(rows, a, b, CaseInsensitive) < 0;
  });
  EXPECT_EQ(order, (std::vector<std::intptr_t>{1, 2, 0}));
  // Indexes outside the rows compare as empty titles instead of reading beyond them.
  EXPECT_LT(CompareCommandTitles(rows, 7, 0, CaseInsensitive), 0);
  EXPECT_GT(CompareCommandTitles(rows, 0, -1, CaseInsensitive), 0);
  EXPECT_EQ(CompareCommandTitles(rows, -1, 3, CaseInsensitive), 0);
}

}  // namespace
}  // namespace tvn
