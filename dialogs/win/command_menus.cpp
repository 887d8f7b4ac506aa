#include "dialogs/win/command_menus.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "base/win/unique_handle.h"
#include "base/win/wide.h"
#include "dialogs/win/command_dialog.h"

namespace tvn {

namespace {

constexpr UINT kWaitCursor = 0x7F02;   // IDC_WAIT
constexpr UINT kArrowCursor = 0x7F00;  // IDC_ARROW
constexpr UINT kFirstContextId = 1;
constexpr UINT kLastContextId = 0x7FFF;

void ShowCursorResource(UINT cursor) { SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(cursor))); }

// The error of a failed shell call: the system's last error when the call
// left one, else its HRESULT (a failure must never read as success).
std::uint32_t ShellFailure(HRESULT hr) {
  DWORD code = GetLastError();
  if (code != 0) return code;
  return hr != S_OK ? static_cast<std::uint32_t>(hr) : static_cast<std::uint32_t>(ERROR_GEN_FAILURE);
}

template <typename Interface>
Interface* As(ShellObject object) {
  return static_cast<Interface*>(object);
}

PCUITEMID_CHILD Child(ShellObject idList) { return static_cast<PCUITEMID_CHILD>(idList); }

bool IsEmptyIdList(ShellObject idList) {
  return idList == nullptr || static_cast<const ITEMIDLIST*>(idList)->mkid.cb == 0;
}

// The shell of the system, as the ShellMenuState sees it.
class Win32ShellPlatform final : public ShellPlatform {
 public:
  std::uint32_t GetAllocator(ShellObject* allocator) override {
    IMalloc* malloc = nullptr;
    SetLastError(0);
    HRESULT hr = SHGetMalloc(&malloc);
    if (hr != S_OK) {  // anything but S_OK fails
      std::uint32_t code = ShellFailure(hr);
      if (malloc != nullptr) malloc->Release();
      return code;
    }
    *allocator = malloc;
    return 0;
  }

  std::uint32_t GetDesktopFolder(ShellObject* folder) override {
    IShellFolder* desktop = nullptr;
    SetLastError(0);
    HRESULT hr = SHGetDesktopFolder(&desktop);
    if (FAILED(hr) || desktop == nullptr) return ShellFailure(hr);
    *folder = desktop;
    return 0;
  }

  std::uint32_t GetSpecialFolder(ShellObject owner, int csidl, ShellObject* idList) override {
    PIDLIST_ABSOLUTE list = nullptr;
    SetLastError(0);
    HRESULT hr = SHGetSpecialFolderLocation(static_cast<HWND>(owner), csidl, &list);
    if (FAILED(hr) || list == nullptr) return ShellFailure(hr);
    *idList = list;
    return 0;
  }

  std::uint32_t BindToFolder(ShellObject parent, ShellObject idList, ShellObject* folder) override {
    // The empty id list (the desktop's own) names the parent itself; binding
    // it fails on some shells.
    if (IsEmptyIdList(idList)) {
      As<IShellFolder>(parent)->AddRef();
      *folder = parent;
      return 0;
    }
    IShellFolder* bound = nullptr;
    SetLastError(0);
    HRESULT hr = As<IShellFolder>(parent)->BindToObject(Child(idList), nullptr, IID_IShellFolder,
                                                        reinterpret_cast<void**>(&bound));
    if (FAILED(hr) || bound == nullptr) return ShellFailure(hr);
    *folder = bound;
    return 0;
  }

  std::uint32_t EnumObjects(ShellObject folder, ShellObject owner, std::uint32_t flags,
                            ShellObject* enumerator) override {
    IEnumIDList* items = nullptr;
    SetLastError(0);
    HRESULT hr = As<IShellFolder>(folder)->EnumObjects(static_cast<HWND>(owner), flags, &items);
    if (FAILED(hr)) return ShellFailure(hr);
    *enumerator = items;  // S_FALSE may give none: an empty folder
    return 0;
  }

  bool Next(ShellObject enumerator, ShellObject* idList) override {
    if (enumerator == nullptr) return false;
    PITEMID_CHILD item = nullptr;
    ULONG fetched = 0;
    HRESULT hr = As<IEnumIDList>(enumerator)->Next(1, &item, &fetched);
    if (hr != S_OK || item == nullptr) {
      if (item != nullptr) CoTaskMemFree(item);
      return false;
    }
    *idList = item;
    return true;
  }

  std::uint32_t GetDisplayName(ShellObject allocator, ShellObject parent, ShellObject idList,
                               ShellDisplayName* name) override {
    STRRET strret{};
    SetLastError(0);
    HRESULT hr = As<IShellFolder>(parent)->GetDisplayNameOf(Child(idList), SHGDN_NORMAL, &strret);
    if (FAILED(hr)) return ShellFailure(hr);
    name->kind = strret.uType;
    if (strret.uType == STRRET_WSTR) {
      name->wide = ToText(strret.pOleStr);
      if (strret.pOleStr != nullptr) {
        if (allocator != nullptr) {
          As<IMalloc>(allocator)->Free(strret.pOleStr);
        } else {
          CoTaskMemFree(strret.pOleStr);
        }
      }
    } else if (strret.uType == STRRET_OFFSET) {
      name->offset = strret.uOffset;
    }
    return 0;
  }

  Text FromAnsi(const std::string& bytes) override {
    if (bytes.empty()) return Text();
    int units = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (units <= 0) return Text();
    std::vector<wchar_t> wide(static_cast<std::size_t>(units));
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), units);
    return ToText(wide.data(), wide.size());
  }

  std::string IdListBytes(ShellObject idList) override {
    const auto* bytes = static_cast<const unsigned char*>(idList);
    return std::string(reinterpret_cast<const char*>(bytes), IdListSize(bytes));
  }

  std::uint32_t GetAttributes(ShellObject parent, ShellObject idList, std::uint32_t* attributes) override {
    SFGAOF asked = *attributes;
    PCUITEMID_CHILD item = Child(idList);
    SetLastError(0);
    HRESULT hr = As<IShellFolder>(parent)->GetAttributesOf(1, &item, &asked);
    if (FAILED(hr)) return ShellFailure(hr);
    *attributes = asked;
    return 0;
  }

  std::uint32_t GetContextMenu(ShellObject parent, ShellObject owner, ShellObject idList,
                               ShellObject* contextMenu) override {
    ComPtr<IContextMenu> menu;
    PCUITEMID_CHILD item = Child(idList);
    SetLastError(0);
    HRESULT hr = As<IShellFolder>(parent)->GetUIObjectOf(static_cast<HWND>(owner), 1, &item, IID_IContextMenu, nullptr,
                                                         menu.put_void());
    if (hr != S_OK || !menu) return ShellFailure(hr);
    *contextMenu = menu.release();
    return 0;
  }

  std::uint32_t QueryContextMenu(ShellObject contextMenu, ShellObject menu) override {
    SetLastError(0);
    HRESULT hr = As<IContextMenu>(contextMenu)
                     ->QueryContextMenu(static_cast<HMENU>(menu), 0, kFirstContextId, kLastContextId, CMF_EXPLORE);
    if (FAILED(hr)) return ShellFailure(hr);
    return 0;
  }

  std::uint32_t InvokeCommand(ShellObject contextMenu, ShellObject owner, unsigned commandId, int showState) override {
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = 0;
    info.hwnd = static_cast<HWND>(owner);
    info.lpVerb = MAKEINTRESOURCEA(commandId - kFirstContextId);  // the offset from the first id
    info.nShow = showState;
    SetLastError(0);
    HRESULT hr = As<IContextMenu>(contextMenu)->InvokeCommand(&info);
    if (FAILED(hr)) return ShellFailure(hr);
    return 0;
  }

  void FreeIdList(ShellObject allocator, ShellObject idList) override {
    if (allocator != nullptr) {
      As<IMalloc>(allocator)->Free(idList);
    } else {
      CoTaskMemFree(idList);
    }
  }

  void Release(ShellObject object) override {
    if (object != nullptr) As<IUnknown>(object)->Release();
  }
};

Win32ShellPlatform g_platform;
ShellMenuState g_shell(g_platform);

std::uint16_t IdOf(std::int16_t number) { return static_cast<std::uint16_t>(number); }

}  // namespace

ShellMenuState& CommandShellState() { return g_shell; }

bool FillShellMenu(HMENU menu, int key) {
  ShowCursorResource(kWaitCursor);
  if (!g_shell.active()) {
    ShowCursorResource(kArrowCursor);
    SetLastError(0);
    return true;
  }
  std::uint32_t count = g_shell.EnumerateChildren(key, kShcontfAll);
  if (count == 0) {
    DWORD error = g_shell.error();
    ShowCursorResource(kArrowCursor);
    SetLastError(error);
    return false;
  }
  const int last = g_shell.lastKey();
  bool result = true;
  DWORD error = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const int child = last - static_cast<int>(i);
    Text name;
    std::uint32_t attributes = 0;
    if (!g_shell.DescribeItem(child, &name, &attributes)) {
      result = false;
      error = g_shell.error();
      continue;
    }
    UniqueMenu submenu(CreatePopupMenu());
    if (!submenu) {
      result = false;
      error = GetLastError();
      continue;
    }
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_ID | MIIM_TYPE | MIIM_SUBMENU | MIIM_DATA;
    item.fType = MFT_STRING;
    item.wID = CommandDialog().shellItemCommandId;
    item.dwItemData = static_cast<ULONG_PTR>(child);
    item.hSubMenu = submenu.get();
    item.dwTypeData = const_cast<wchar_t*>(W(name));
    if (!InsertMenuItemW(menu, 0, TRUE, &item)) {
      result = false;
      error = GetLastError();
      continue;
    }
    submenu.release();  // the popup owns it now
  }
  ShowCursorResource(kArrowCursor);
  SetLastError(error);
  return result;
}

bool TearDownMenu(HMENU menu, bool removeItems, bool destroy) {
  ShowCursorResource(kWaitCursor);
  int count = GetMenuItemCount(menu);
  if (count == -1) {
    DWORD error = GetLastError();
    ShowCursorResource(kArrowCursor);
    SetLastError(error);
    return false;
  }
  bool result = true;
  DWORD error = 0;
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_SUBMENU | MIIM_DATA;
    const UINT position = removeItems ? 0 : static_cast<UINT>(i);
    if (!GetMenuItemInfoW(menu, position, TRUE, &item)) {
      result = false;
      error = GetLastError();
      continue;  // that item stays
    }
    if (item.hSubMenu != nullptr) TearDownMenu(item.hSubMenu, true, destroy);
    if (removeItems) RemoveMenu(menu, 0, MF_BYPOSITION);
  }
  if (removeItems && destroy) DestroyMenu(menu);
  ShowCursorResource(kArrowCursor);
  SetLastError(error);
  return result;
}

void ExpandShellItem(HWND, WPARAM wParam, LPARAM lParam) {
  const UINT position = LOWORD(wParam);
  const UINT flags = HIWORD(wParam);
  HMENU menu = reinterpret_cast<HMENU>(lParam);
  if ((flags & MF_POPUP) == 0 || menu == nullptr) return;
  MENUITEMINFOW item{};
  item.cbSize = sizeof(item);
  item.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_DATA;
  if (!GetMenuItemInfoW(menu, position, TRUE, &item)) return;
  CommandDialogState& state = CommandDialog();
  if (!g_shell.active() || item.wID != state.shellItemCommandId) return;

  state.lastShellItem.menu = menu;
  state.lastShellItem.position = position;
  if (GetMenuItemCount(item.hSubMenu) != 0) return;  // filled once per popup

  const int key = static_cast<int>(item.dwItemData);
  Text name;
  std::uint32_t attributes = 0;
  if (!g_shell.DescribeItem(key, &name, &attributes)) return;
  if ((attributes & kSfgaoFolder) != 0) {
    FillShellMenu(item.hSubMenu, key);
  } else {
    g_shell.AttachContextMenu(key, item.hSubMenu);
  }
}

bool OpenRowMenu(HWND dialog, std::int16_t menuNumber, std::uint16_t menuType) {
  ShowCursorResource(kWaitCursor);
  bool result = true;
  DWORD error = 0;
  CommandDialogState& state = CommandDialog();
  static const MenuSet kNoMenus;
  const MenuSet& menus = state.description != nullptr ? state.description->menus : kNoMenus;
  const RowMenuKind kind = ClassifyRowMenu(menus, menuNumber, menuType);

  if (kind != RowMenuKind::kNothing) {
    const MenuDescription& menu = menus.menus[IdOf(menuNumber)];
    UniqueMenu popup(CreatePopupMenu());
    POINT at{};
    if (!popup) {
      result = false;
      error = GetLastError();
    } else if (!GetCursorPos(&at)) {
      result = false;
      error = GetLastError();
    } else {
      bool content = false;
      if (kind == RowMenuKind::kStatic) {
        // Entries in description order, each put on top of those before it.
        std::vector<StaticPopupItem> items = StaticPopupItems(menu);
        for (auto it = items.rbegin(); it != items.rend(); ++it) {
          MENUITEMINFOW item{};
          item.cbSize = sizeof(item);
          item.fMask = MIIM_ID | MIIM_TYPE | MIIM_SUBMENU;
          item.fType = it->separator ? MFT_SEPARATOR : MFT_STRING;
          item.wID = it->id;
          item.dwTypeData = it->separator ? nullptr : const_cast<wchar_t*>(W(it->title));
          if (InsertMenuItemW(popup.get(), 0, TRUE, &item)) {
            content = true;
          } else {
            result = false;
            error = GetLastError();
          }
        }
      } else {
        for (std::size_t n = 0; n < MenuEntryCount(menu); ++n) {
          if (!g_shell.OpenRoot(dialog, ShellEntryCsidl(menu.entries[n]))) {
            result = false;
            error = g_shell.error();
          } else if (FillShellMenu(popup.get(), g_shell.lastKey())) {
            content = true;
          }
        }
      }

      if (content) {
        UINT picked = static_cast<UINT>(
            TrackPopupMenuEx(popup.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, dialog, nullptr));
        if (picked != 0 && kind == RowMenuKind::kStatic) {
          const Text* command = StaticPopupCommand(menu, picked);
          state.currentCommand.Set(command != nullptr ? *command : Text());
          state.commandReady = 1;
          if (!ExecuteCommand(dialog)) {
            result = false;
            error = GetLastError();
          }
        } else if (picked != 0) {
          MENUITEMINFOW item{};
          item.cbSize = sizeof(item);
          item.fMask = MIIM_DATA;
          if (!GetMenuItemInfoW(state.lastShellItem.menu, state.lastShellItem.position, TRUE, &item)) {
            result = false;
            error = GetLastError();
            if (error == 0) error = ERROR_INVALID_MENU_HANDLE;
          } else if (!g_shell.InvokeContextCommand(static_cast<int>(item.dwItemData), picked,
                                                   StartHiddenTicked(dialog) ? SW_HIDE : SW_SHOWNORMAL)) {
            result = false;
            error = g_shell.error();
          }
        }
      }
    }
    if (g_shell.active()) {
      TearDownMenu(popup.get(), false, true);
      g_shell.ResetShellState();
    }
    // The popup itself goes with `popup`.
  }
  ShowCursorResource(kArrowCursor);
  SetLastError(error);
  return result;
}

}  // namespace tvn
