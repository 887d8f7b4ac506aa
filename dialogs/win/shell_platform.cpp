#include "dialogs/win/shell_platform.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <type_traits>
#include <vector>

#include "base/win/unique_handle.h"
#include "base/win/wide.h"

namespace tvn {

namespace {

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

}  // namespace

std::uint32_t Win32ShellPlatform::GetAllocator(ShellObject* allocator) {
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

std::uint32_t Win32ShellPlatform::GetDesktopFolder(ShellObject* folder) {
  IShellFolder* desktop = nullptr;
  SetLastError(0);
  HRESULT hr = SHGetDesktopFolder(&desktop);
  if (FAILED(hr) || desktop == nullptr) return ShellFailure(hr);
  *folder = desktop;
  return 0;
}

std::uint32_t Win32ShellPlatform::GetSpecialFolder(ShellObject owner, int csidl, ShellObject* idList) {
  PIDLIST_ABSOLUTE list = nullptr;
  SetLastError(0);
  HRESULT hr = SHGetSpecialFolderLocation(static_cast<HWND>(owner), csidl, &list);
  if (FAILED(hr) || list == nullptr) return ShellFailure(hr);
  *idList = list;
  return 0;
}

std::uint32_t Win32ShellPlatform::BindToFolder(ShellObject parent, ShellObject idList, ShellObject* folder) {
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

std::uint32_t Win32ShellPlatform::EnumObjects(ShellObject folder, ShellObject owner, std::uint32_t flags,
                                              ShellObject* enumerator) {
  IEnumIDList* items = nullptr;
  SetLastError(0);
  HRESULT hr = As<IShellFolder>(folder)->EnumObjects(static_cast<HWND>(owner), flags, &items);
  if (FAILED(hr)) return ShellFailure(hr);
  *enumerator = items;  // S_FALSE may give none: an empty folder
  return 0;
}

bool Win32ShellPlatform::Next(ShellObject enumerator, ShellObject* idList) {
  if (enumerator == nullptr) return false;
  PITEMID_CHILD item = nullptr;
  ULONG fetched = 0;
  HRESULT hr = As<IEnumIDList>(enumerator)->Next(1, &item, &fetched);
  if (hr != S_OK || item == nullptr) {
    const UniqueCoTaskMem<std::remove_pointer_t<PITEMID_CHILD>> unused(item);
    return false;
  }
  *idList = item;
  return true;
}

std::uint32_t Win32ShellPlatform::GetDisplayName(ShellObject allocator, ShellObject parent, ShellObject idList,
                                                 ShellDisplayName* name) {
  STRRET strret{};
  SetLastError(0);
  HRESULT hr = As<IShellFolder>(parent)->GetDisplayNameOf(Child(idList), SHGDN_NORMAL, &strret);
  if (FAILED(hr)) return ShellFailure(hr);
  name->kind = strret.uType;
  if (strret.uType == STRRET_WSTR) {
    name->wide = ToText(strret.pOleStr);
    if (strret.pOleStr != nullptr) FreeIdList(allocator, strret.pOleStr);  // the shell's allocator frees any block
  } else if (strret.uType == STRRET_OFFSET) {
    name->offset = strret.uOffset;
  }
  return 0;
}

Text Win32ShellPlatform::FromAnsi(const std::string& bytes) {
  if (bytes.empty()) return Text();
  int units = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (units <= 0) return Text();
  std::vector<wchar_t> wide(static_cast<std::size_t>(units));
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), units);
  return ToText(wide.data(), wide.size());
}

std::string Win32ShellPlatform::IdListBytes(ShellObject idList) {
  const auto* bytes = static_cast<const unsigned char*>(idList);
  return std::string(reinterpret_cast<const char*>(bytes), IdListSize(bytes));
}

std::uint32_t Win32ShellPlatform::GetAttributes(ShellObject parent, ShellObject idList, std::uint32_t* attributes) {
  SFGAOF asked = *attributes;
  PCUITEMID_CHILD item = Child(idList);
  SetLastError(0);
  HRESULT hr = As<IShellFolder>(parent)->GetAttributesOf(1, &item, &asked);
  if (FAILED(hr)) return ShellFailure(hr);
  *attributes = asked;
  return 0;
}

std::uint32_t Win32ShellPlatform::GetContextMenu(ShellObject parent, ShellObject owner, ShellObject idList,
                                                 ShellObject* contextMenu) {
  ComPtr<IContextMenu> menu;
  PCUITEMID_CHILD item = Child(idList);
  SetLastError(0);
  HRESULT hr = As<IShellFolder>(parent)->GetUIObjectOf(static_cast<HWND>(owner), 1, &item, IID_IContextMenu, nullptr,
                                                       menu.put_void());
  if (hr != S_OK || !menu) return ShellFailure(hr);
  *contextMenu = menu.release();
  return 0;
}

std::uint32_t Win32ShellPlatform::QueryContextMenu(ShellObject contextMenu, ShellObject menu) {
  SetLastError(0);
  HRESULT hr = As<IContextMenu>(contextMenu)
                   ->QueryContextMenu(static_cast<HMENU>(menu), 0, kFirstContextId, kLastContextId, CMF_EXPLORE);
  if (FAILED(hr)) return ShellFailure(hr);
  return 0;
}

std::uint32_t Win32ShellPlatform::InvokeCommand(ShellObject contextMenu, ShellObject owner, unsigned commandId,
                                                int showState) {
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

void Win32ShellPlatform::FreeIdList(ShellObject allocator, ShellObject idList) {
  if (allocator != nullptr) {
    As<IMalloc>(allocator)->Free(idList);
  } else {
    CoTaskMemFree(idList);
  }
}

void Win32ShellPlatform::Release(ShellObject object) {
  if (object != nullptr) As<IUnknown>(object)->Release();
}

}  // namespace tvn
