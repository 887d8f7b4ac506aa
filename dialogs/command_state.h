// What the command dialog's Execute button runs, decided from the control
// that holds the keyboard focus.
//
// The dialog reads the focus, the list's selection and the command line's
// text; these functions decide the current command, the command-ready flag
// and whether Execute is enabled.
#pragma once

#include <cstdint>
#include <vector>

#include "base/text.h"
#include "description/records.h"

namespace tvn {

// Controls of the command dialog (template 300) that the decision knows.
constexpr int kCommandInfoId = 1301;
constexpr int kCommandListId = 1302;
constexpr int kCommandLineId = 1303;
constexpr int kCommandExecuteId = 1308;

// The current command holds at most this many characters (2048-unit buffer).
constexpr std::size_t kCurrentCommandChars = kCommandUnits - 1;

struct CommandStateInput {
  int focusId = 0;                        // id of the focused control; 0 for none or a foreign window
  const Text* selectedCommand = nullptr;  // list: the selected row's command, null without selection
  TextView lineText;                      // command line: its text (read only when it has the focus)
};

struct CommandState {
  Text current;                 // the new current command
  std::uint16_t ready = 0;      // command-ready flag, 0 or 1
  bool executeEnabled = false;  // always equal to ready != 0
};

// The decision for each focus case:
// - the list: no selection empties the command; else the row's command (cut
//   to 2047 characters), ready when not empty;
// - the command line: its text (cut to 2047), ready unless empty or starting
//   with a blank or a tab (the text is kept either way);
// - Execute: the command is kept, ready when not empty;
// - anything else: the command is kept, not ready.
CommandState DecideCommandState(const CommandStateInput& input, TextView current);

// Notifications after which the dialog runs UpdateCommandState. `code` is the
// WM_NOTIFY code for the list (negative) and the WM_COMMAND notification code
// for every other control.
bool TriggersCommandStateUpdate(int controlId, int code);

// Compares the titles of the rows whose indexes the two items carry with
// `compareTitles` (the dialog passes a case-insensitive compare by the user's
// locale). An index outside the rows compares as an empty title.
using TitleCompare = int (*)(const Text& a, const Text& b);
int CompareCommandTitles(const std::vector<CommandEntry>& rows, std::intptr_t a, std::intptr_t b,
                         TitleCompare compareTitles);

}  // namespace tvn
