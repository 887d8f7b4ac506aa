// The popup menus of the command dialog's rows: static command menus and the
// live menus of shell folders with each item's context menu.
#pragma once

#include <windows.h>

#include <cstdint>

#include "dialogs/menu_model.h"
#include "dialogs/win/shell_platform.h"

namespace tvn {

class CommandDialog;

// The row menus of one command dialog, with the state of its live shell
// popup: one popup at a time, torn down before Open returns.
class RowMenus {
 public:
  explicit RowMenus(CommandDialog& owner) : owner_(owner) {}
  RowMenus(const RowMenus&) = delete;
  RowMenus& operator=(const RowMenus&) = delete;

  // Opens the popup of a row at the mouse pointer and runs what the user
  // picks. True with last error 0 when nothing failed (also when the row
  // opens nothing or the user picks nothing); false with the error to report.
  [[nodiscard]] bool Open(std::int16_t menuNumber, std::uint16_t menuType);

  // WM_MENUSELECT of the dialog: fills the submenu of the shell item under
  // the pointer once per popup (a folder's children, else its context menu)
  // and remembers the item.
  void ExpandShellItem(WPARAM wParam, LPARAM lParam);

  // Inserts the children of the shell item `key` at the top of `menu`, in
  // enumeration order, each a string item with id 5000, the child's key as
  // item data and an empty submenu. False when there are none or one failed.
  bool FillShellMenu(HMENU menu, int key);

  // Walks `menu` and tears down every nested submenu from the deepest up;
  // with `removeItems` the items are removed too, and with both flags the
  // menu is destroyed.
  static bool TearDownMenu(HMENU menu, bool removeItems, bool destroy);

  const ShellMenuState& shell() const { return shell_; }

 private:
  // What went wrong while a popup was built or its pick was run: the last
  // failure wins, and the popup goes on with the items that worked.
  class Outcome {
   public:
    void Fail(DWORD code) {
      ok_ = false;
      error_ = code;
    }
    bool ok() const { return ok_; }
    DWORD error() const { return error_; }

   private:
    bool ok_ = true;
    DWORD error_ = 0;
  };

  // Each fills `popup` and returns whether it holds any item.
  bool BuildStaticPopup(HMENU popup, const MenuDescription& menu, Outcome& outcome);
  bool BuildShellPopup(HMENU popup, const MenuDescription& menu, Outcome& outcome);
  void RunPicked(RowMenuKind kind, const MenuDescription& menu, UINT picked, Outcome& outcome);

  // A menu item by position: the shell item that was last under the pointer.
  struct ShellPopupItem {
    HMENU menu = nullptr;  // null: none
    UINT position = 0;
  };

  CommandDialog& owner_;
  Win32ShellPlatform platform_;
  ShellMenuState shell_{platform_};
  ShellPopupItem lastShellItem_;
};

}  // namespace tvn
