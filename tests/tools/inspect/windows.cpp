#include "tests/tools/inspect/windows.h"

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
  const int count = menu ? GetMenuItemCount(menu) : -1;
  json.Key("menu").BeginObject().Key("readable").Bool(count >= 0).Key("items").BeginArray();
  for (int i = 0; i < count && i < kMaxListItems; ++i) {
    wchar_t text[512] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 511;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) {
      info = MENUITEMINFOW();
      text[0] = 0;
    }
    if (text[0] == 0) GetMenuStringW(menu, static_cast<UINT>(i), text, 511, MF_BYPOSITION);
    json.BeginObject().Key("index").Int(i).Key("id").Int(static_cast<int>(info.wID));
    json.Key("text").String(text, wcsnlen(text, 512));
    json.Key("separator").Bool((info.fType & MFT_SEPARATOR) != 0);
    json.Key("checked").Bool((info.fState & MFS_CHECKED) != 0).Key("rect");
    RECT rect = {};
    if (GetMenuItemRect(nullptr, menu, static_cast<UINT>(i), &rect)) {
      WriteRect(json, rect);
    } else {
      json.Null();
    }
    json.EndObject();
  }
  json.EndArray().EndObject();
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
  const DWORD tid = GetWindowThreadProcessId(window, &pid);
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  HWND focus = tid != 0 && GetGUIThreadInfo(tid, &gui) ? gui.hwndFocus : nullptr;
  const std::wstring cls = ClassOf(window);
  DWORD elevation = 0;
  const bool elevationKnown = ElevationTypeOf(pid, &elevation);
  json.BeginObject().Key("hwnd").Handle(window).Key("pid").UInt(pid).Key("exe").String(ExeName(pid));
  json.Key("elevation").UIntOrNull(elevationKnown, elevation).Key("title");
  std::wstring title;
  if (ReadText(window, &title)) {
    json.String(title);
  } else {
    wchar_t buffer[512] = {};
    const int length = GetWindowTextW(window, buffer, 512);
    json.String(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
  }
  json.Key("class").String(cls).Key("visible").Bool(IsWindowVisible(window) != FALSE);
  json.Key("enabled").Bool(IsWindowEnabled(window) != FALSE);
  RECT rect = {};
  GetWindowRect(window, &rect);
  WriteRect(json.Key("rect"), rect);
  json.Key("foreground").Bool(GetForegroundWindow() == window).Key("focus").Handle(focus);
  json.Key("owner").Handle(GetWindow(window, GW_OWNER));
  const bool child = (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0;
  json.Key("id").Int(child ? static_cast<int>(GetWindowLongPtrW(window, GWLP_ID)) : 0);
  LRESULT icon = 0;
  const bool iconKnown = Query(window, WM_GETICON, ICON_SMALL, &icon);
  json.Key("icon_small").BoolOrNull(iconKnown, icon != 0).Key("controls").BeginArray();
  std::vector<HWND> children;
  EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
  for (HWND control : children) WriteControl(json, control, focus);
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
