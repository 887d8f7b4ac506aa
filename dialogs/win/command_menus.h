// The popup menus of the command dialog's rows: static command menus and the
// live menus of shell folders with each item's context menu.
#pragma once

#include <windows.h>

#include <cstdint>

#include "dialogs/menu_model.h"

namespace tvn {

// Opens the popup of a row at the mouse pointer and runs what the user
// picks. True with last error 0 when nothing failed (also when the row opens
// nothing or the user picks nothing); false with the error to report.
[[nodiscard]] bool OpenRowMenu(HWND dialog, std::int16_t menuNumber, std::uint16_t menuType);

// WM_MENUSELECT of the command dialog: fills the submenu of the shell item
// under the pointer once per popup (a folder's children, else its context
// menu) and remembers the item.
void ExpandShellItem(HWND dialog, WPARAM wParam, LPARAM lParam);

// Inserts the children of the shell item `key` at the top of `menu`, in
// enumeration order, each a string item with id 5000, the child's key as
// item data and an empty submenu. False when there are none or one failed.
bool FillShellMenu(HMENU menu, int key);

// Walks `menu` and tears down every nested submenu from the deepest up; with
// `removeItems` the items are removed too, and with both flags the menu is
// destroyed.
bool TearDownMenu(HMENU menu, bool removeItems, bool destroy);

// The process's shell-menu state, on the real shell.
ShellMenuState& CommandShellState();

}  // namespace tvn
