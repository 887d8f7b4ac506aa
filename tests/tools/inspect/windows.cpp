#include "tests/tools/inspect/windows.h"

#include <cstdint>
#include <cwchar>
#include <string>

#include "tests/tools/inspect/controls.h"
#include "tests/tools/inspect/messages.h"

namespace tvn_inspect {

using tvn_tools::JsonWriter;

namespace {

constexpr UINT kMenuGetHmenu = 0x01E1;  // MN_GETHMENU

void WriteMenu(JsonWriter& json, HWND window) {
  LRESULT handle = 0;
  Send(window, kMenuGetHmenu, 0, 0, &handle);
  HMENU menu = reinterpret_cast<HMENU>(handle);
  json.Key("menu");
  json.BeginObject();
  json.Key("hmenu");
  json.Hex(static_cast<std::uint64_t>(handle));
  SetLastError(0);
  int count = menu ? GetMenuItemCount(menu) : -1;
  json.Key("readable");
  json.Bool(count >= 0);
  json.Key("error");
  json.UInt(count >= 0 ? 0 : GetLastError());
  json.Key("items");
  json.BeginArray();
  for (int i = 0; i < count && i < kMaxListItems; ++i) {
    wchar_t text[512] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 511;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) {
      info = MENUITEMINFOW();
      text[0] = 0;
    }
    if (text[0] == 0) GetMenuStringW(menu, static_cast<UINT>(i), text, 511, MF_BYPOSITION);
    json.BeginObject();
    json.Key("index");
    json.Int(i);
    json.Key("id");
    json.Int(static_cast<int>(info.wID));
    json.Key("text");
    json.String(text, wcsnlen(text, 512));
    json.Key("separator");
    json.Bool((info.fType & MFT_SEPARATOR) != 0);
    json.Key("submenu");
    json.Bool(info.hSubMenu != nullptr);
    json.Key("checked");
    json.Bool((info.fState & MFS_CHECKED) != 0);
    json.Key("disabled");
    json.Bool((info.fState & MFS_DISABLED) != 0);
    json.Key("default");
    json.Bool((info.fState & MFS_DEFAULT) != 0);
    json.Key("highlighted");
    json.Bool((info.fState & MFS_HILITE) != 0);
    json.Key("rect");
    RECT rect = {};
    if (GetMenuItemRect(nullptr, menu, static_cast<UINT>(i), &rect)) {
      WriteRect(json, rect);
    } else {
      json.Null();
    }
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
}

BOOL CALLBACK CollectChild(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

struct Selection {
  const Options* options;
  std::vector<HWND> windows;
};

bool Matches(const Options& o, HWND window) {
  if (!o.hidden && !IsWindowVisible(window)) return false;
  if (o.hasPid) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != o.pid) return false;
  }
  if (o.hasClass && !ClassIs(window, o.className.c_str())) return false;
  if (o.menus && !ClassIs(window, L"#32768")) return false;
  if (o.hasTitle) {
    wchar_t title[1024] = {};
    GetWindowTextW(window, title, 1024);
    if (!wcsstr(title, o.title.c_str())) return false;
  }
  return true;
}

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM data) {
  Selection* selection = reinterpret_cast<Selection*>(data);
  if (Matches(*selection->options, window)) selection->windows.push_back(window);
  return TRUE;
}

}  // namespace

void WriteWindow(JsonWriter& json, HWND window) {
  DWORD pid = 0;
  DWORD tid = GetWindowThreadProcessId(window, &pid);
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  bool haveGui = tid != 0 && GetGUIThreadInfo(tid, &gui);
  HWND focus = haveGui ? gui.hwndFocus : nullptr;
  const std::wstring cls = ClassOf(window);
  json.BeginObject();
  json.Key("hwnd");
  json.Hex(reinterpret_cast<std::uintptr_t>(window));
  json.Key("pid");
  json.UInt(pid);
  json.Key("tid");
  json.UInt(tid);
  json.Key("exe");
  json.String(ExeName(pid));
  json.Key("elevation");
  DWORD elevation = 0;
  if (ElevationTypeOf(pid, &elevation)) {
    json.UInt(elevation);
  } else {
    json.Null();
  }
  json.Key("title");
  std::wstring title;
  if (ReadText(window, &title)) {
    json.String(title);
  } else {
    wchar_t buffer[512] = {};
    int length = GetWindowTextW(window, buffer, 512);
    json.String(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
  }
  json.Key("class");
  json.String(cls);
  json.Key("visible");
  json.Bool(IsWindowVisible(window) != FALSE);
  json.Key("enabled");
  json.Bool(IsWindowEnabled(window) != FALSE);
  RECT rect = {};
  GetWindowRect(window, &rect);
  json.Key("rect");
  WriteRect(json, rect);
  RECT client = {};
  GetClientRect(window, &client);
  json.Key("client");
  json.IntArray({client.right - client.left, client.bottom - client.top});
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  json.Key("client_origin");
  json.IntArray({origin.x, origin.y});
  json.Key("style");
  json.UInt(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)));
  json.Key("exstyle");
  json.UInt(static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)));
  json.Key("foreground");
  json.Bool(GetForegroundWindow() == window);
  json.Key("active");
  json.Bool(haveGui && gui.hwndActive == window);
  json.Key("focus");
  if (focus) {
    json.Hex(reinterpret_cast<std::uintptr_t>(focus));
  } else {
    json.Null();
  }
  HWND owner = GetWindow(window, GW_OWNER);
  json.Key("owner");
  if (owner) {
    json.Hex(reinterpret_cast<std::uintptr_t>(owner));
  } else {
    json.Null();
  }
  HWND parent = GetAncestor(window, GA_PARENT);
  json.Key("parent");
  if (parent && parent != GetDesktopWindow()) {
    json.Hex(reinterpret_cast<std::uintptr_t>(parent));
  } else {
    json.Null();
  }
  json.Key("id");
  json.Int((GetWindowLongW(window, GWL_STYLE) & WS_CHILD) ? static_cast<int>(GetWindowLongPtrW(window, GWLP_ID)) : 0);
  LRESULT icon = 0;
  json.Key("icon_small");
  if (Query(window, WM_GETICON, ICON_SMALL, &icon)) {
    json.Bool(icon != 0);
  } else {
    json.Null();
  }
  json.Key("icon_big");
  if (Query(window, WM_GETICON, ICON_BIG, &icon)) {
    json.Bool(icon != 0);
  } else {
    json.Null();
  }
  json.Key("class_icon_small");
  json.Bool(GetClassLongPtrW(window, GCLP_HICONSM) != 0);
  json.Key("class_icon");
  json.Bool(GetClassLongPtrW(window, GCLP_HICON) != 0);
  json.Key("controls");
  json.BeginArray();
  std::vector<HWND> children;
  EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
  for (HWND child : children) WriteControl(json, child, focus);
  json.EndArray();
  if (cls == L"#32768") WriteMenu(json, window);
  json.EndObject();
}

std::vector<HWND> Select(const Options& o) {
  Selection selection{&o, {}};
  if (o.hasHwnd) {
    // A window named directly is listed whether visible or not; the other
    // filters still apply.
    Options direct = o;
    direct.hidden = true;
    if (IsWindow(o.hwnd) && Matches(direct, o.hwnd)) selection.windows.push_back(o.hwnd);
  } else {
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&selection));
  }
  return selection.windows;
}

bool AnyVisible(const std::vector<HWND>& windows) {
  for (HWND window : windows)
    if (IsWindowVisible(window)) return true;
  return false;
}

}  // namespace tvn_inspect
