#include "dialogs/win/command_menus.h"

#include <vector>

#include "base/win/unique_handle.h"
#include "base/win/wide.h"
#include "dialogs/win/command_dialog.h"
#include "dialogs/win/dialog_actions.h"

namespace tvn {

namespace {

std::uint16_t IdOf(std::int16_t number) { return static_cast<std::uint16_t>(number); }

}  // namespace

bool RowMenus::FillShellMenu(HMENU menu, int key) {
  WaitCursor wait;
  if (!shell_.active()) {
    SetLastError(0);
    return true;
  }
  std::uint32_t count = shell_.EnumerateChildren(key, kShcontfAll);
  if (count == 0) {
    SetLastError(shell_.error());
    return false;
  }
  const int last = shell_.lastKey();
  Outcome outcome;
  for (std::uint32_t i = 0; i < count; ++i) {
    const int child = last - static_cast<int>(i);
    Text name;
    std::uint32_t attributes = 0;
    if (!shell_.DescribeItem(child, &name, &attributes)) {
      outcome.Fail(shell_.error());
      continue;
    }
    UniqueMenu submenu(CreatePopupMenu());
    if (!submenu) {
      outcome.Fail(GetLastError());
      continue;
    }
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_ID | MIIM_TYPE | MIIM_SUBMENU | MIIM_DATA;
    item.fType = MFT_STRING;
    item.wID = kShellItemCommandId;
    item.dwItemData = static_cast<ULONG_PTR>(child);
    item.hSubMenu = submenu.get();
    item.dwTypeData = const_cast<wchar_t*>(W(name));
    if (!InsertMenuItemW(menu, 0, TRUE, &item)) {
      outcome.Fail(GetLastError());
      continue;
    }
    submenu.release();  // the popup owns it now
  }
  SetLastError(outcome.error());
  return outcome.ok();
}

bool RowMenus::TearDownMenu(HMENU menu, bool removeItems, bool destroy) {
  WaitCursor wait;
  int count = GetMenuItemCount(menu);
  if (count == -1) return false;  // with the error of the count
  // A submenu taken out of its parent goes with it once emptied.
  const UniqueMenu taken(removeItems && destroy ? menu : nullptr);
  Outcome outcome;
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_SUBMENU | MIIM_DATA;
    const UINT position = removeItems ? 0 : static_cast<UINT>(i);
    if (!GetMenuItemInfoW(menu, position, TRUE, &item)) {
      outcome.Fail(GetLastError());
      continue;  // that item stays
    }
    if (item.hSubMenu != nullptr) TearDownMenu(item.hSubMenu, true, destroy);
    if (removeItems) RemoveMenu(menu, 0, MF_BYPOSITION);
  }
  SetLastError(outcome.error());
  return outcome.ok();
}

void RowMenus::ExpandShellItem(WPARAM wParam, LPARAM lParam) {
  const UINT position = LOWORD(wParam);
  const UINT flags = HIWORD(wParam);
  HMENU menu = reinterpret_cast<HMENU>(lParam);
  if ((flags & MF_POPUP) == 0 || menu == nullptr) return;
  MENUITEMINFOW item{};
  item.cbSize = sizeof(item);
  item.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_DATA;
  if (!GetMenuItemInfoW(menu, position, TRUE, &item)) return;
  if (!shell_.active() || item.wID != kShellItemCommandId) return;

  lastShellItem_.menu = menu;
  lastShellItem_.position = position;
  if (GetMenuItemCount(item.hSubMenu) != 0) return;  // filled once per popup

  const int key = static_cast<int>(item.dwItemData);
  Text name;
  std::uint32_t attributes = 0;
  if (!shell_.DescribeItem(key, &name, &attributes)) return;
  if ((attributes & kSfgaoFolder) != 0) {
    FillShellMenu(item.hSubMenu, key);
  } else {
    shell_.AttachContextMenu(key, item.hSubMenu);
  }
}

// Entries in description order, each put on top of those before it.
bool RowMenus::BuildStaticPopup(HMENU popup, const MenuDescription& menu, Outcome& outcome) {
  bool content = false;
  std::vector<StaticPopupItem> items = StaticPopupItems(menu);
  for (auto it = items.rbegin(); it != items.rend(); ++it) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_ID | MIIM_TYPE | MIIM_SUBMENU;
    item.fType = it->separator ? MFT_SEPARATOR : MFT_STRING;
    item.wID = it->id;
    item.dwTypeData = it->separator ? nullptr : const_cast<wchar_t*>(W(it->title));
    if (InsertMenuItemW(popup, 0, TRUE, &item)) {
      content = true;
    } else {
      outcome.Fail(GetLastError());
    }
  }
  return content;
}

// Each entry names a special folder whose children go on top of the popup.
bool RowMenus::BuildShellPopup(HMENU popup, const MenuDescription& menu, Outcome& outcome) {
  bool content = false;
  for (std::size_t n = 0; n < MenuEntryCount(menu); ++n) {
    if (!shell_.OpenRoot(owner_.window(), ShellEntryCsidl(menu.entries[n]))) {
      outcome.Fail(shell_.error());
    } else if (FillShellMenu(popup, shell_.lastKey())) {
      content = true;
    }
  }
  return content;
}

// A static pick becomes the dialog's current command and runs; a shell pick
// runs in the context menu of the shell item that was last under the pointer.
void RowMenus::RunPicked(RowMenuKind kind, const MenuDescription& menu, UINT picked, Outcome& outcome) {
  if (picked == 0) return;
  if (kind == RowMenuKind::kStatic) {
    const Text* command = StaticPopupCommand(menu, picked);
    if (!owner_.RunCommand(command != nullptr ? *command : Text())) outcome.Fail(GetLastError());
    return;
  }
  MENUITEMINFOW item{};
  item.cbSize = sizeof(item);
  item.fMask = MIIM_DATA;
  if (!GetMenuItemInfoW(lastShellItem_.menu, lastShellItem_.position, TRUE, &item)) {
    const DWORD error = GetLastError();
    outcome.Fail(error != 0 ? error : static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE));
  } else if (!shell_.InvokeContextCommand(static_cast<int>(item.dwItemData), picked,
                                          owner_.StartHiddenTicked() ? SW_HIDE : SW_SHOWNORMAL)) {
    outcome.Fail(shell_.error());
  }
}

bool RowMenus::Open(std::int16_t menuNumber, std::uint16_t menuType) {
  WaitCursor wait;
  const MenuSet& menus = owner_.description().menus;
  const RowMenuKind kind = ClassifyRowMenu(menus, menuNumber, menuType);
  if (kind == RowMenuKind::kNothing) {
    SetLastError(0);
    return true;
  }

  Outcome outcome;
  const MenuDescription& menu = menus.menus[IdOf(menuNumber)];
  UniqueMenu popup(CreatePopupMenu());
  POINT at{};
  if (!popup) {
    outcome.Fail(GetLastError());
  } else if (!GetCursorPos(&at)) {
    outcome.Fail(GetLastError());
  } else {
    const bool content = kind == RowMenuKind::kStatic ? BuildStaticPopup(popup.get(), menu, outcome)
                                                      : BuildShellPopup(popup.get(), menu, outcome);
    if (content) {
      const UINT picked = static_cast<UINT>(
          TrackPopupMenuEx(popup.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, owner_.window(), nullptr));
      RunPicked(kind, menu, picked, outcome);
    }
  }
  if (shell_.active()) {
    TearDownMenu(popup.get(), false, true);
    shell_.ResetShellState();
  }
  // The popup itself goes with `popup`.
  SetLastError(outcome.error());
  return outcome.ok();
}

}  // namespace tvn
