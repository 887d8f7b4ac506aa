// The command dialog (template 300): the command list, the command line and
// the restarts of the tool.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>

#include "description/records.h"

namespace tvn {

// Dialog procedure; the creation parameter is the CommandDescription.
INT_PTR CALLBACK CommandDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// A menu item by position: the shell item that was last under the pointer.
struct ShellPopupItem {
  HMENU menu = nullptr;  // null: none
  UINT position = 0;
};

// The state of the one command dialog of the process, shared with the
// command menus (dialogs/win/command_menus.h).
struct CommandDialogState {
  const CommandDescription* description = nullptr;
  TextBuffer currentCommand;  // 2048 units while the dialog is open
  std::uint16_t commandReady = 0;
  HIMAGELIST imageList = nullptr;  // owned by the list view once attached
  ShellPopupItem lastShellItem;
  UINT shellItemCommandId = 0;
};
CommandDialogState& CommandDialog();

// Runs the current command through ShellRun when the command-ready flag is
// 1, hidden when the start-hidden box is ticked; true when nothing was to run.
[[nodiscard]] bool ExecuteCommand(HWND dialog);

// Whether the start-hidden box (1306) is ticked.
bool StartHiddenTicked(HWND dialog);

}  // namespace tvn
