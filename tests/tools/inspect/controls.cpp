#include "tests/tools/inspect/controls.h"

// After windows.h, which it needs.
#include <commctrl.h>

#include <cwchar>
#include <string>
#include <vector>

#include "tests/tools/inspect/list_view.h"
#include "tests/tools/inspect/messages.h"

namespace tvn_inspect {

using tvn_tools::JsonWriter;

void WriteRect(JsonWriter& json, const RECT& r) { json.IntArray({r.left, r.top, r.right, r.bottom}); }

namespace {

void WriteStringList(JsonWriter& json, HWND control, bool combo) {
  const UINT getCount = combo ? CB_GETCOUNT : LB_GETCOUNT;
  const UINT getLength = combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN;
  const UINT getText = combo ? CB_GETLBTEXT : LB_GETTEXT;
  const UINT getSelection = combo ? CB_GETCURSEL : LB_GETCURSEL;
  LRESULT count = 0, selected = -1;
  if (!Send(control, getCount, 0, 0, &count) || count < 0) count = 0;
  if (count > kMaxListItems) count = kMaxListItems;
  json.Key("items");
  json.BeginArray();
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = 0;
    if (!Send(control, getLength, static_cast<WPARAM>(i), 0, &length) || length < 0 || length > (1 << 16)) {
      json.Null();
      continue;
    }
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    LRESULT copied = 0;
    if (!Send(control, getText, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer.data()), &copied) ||
        copied < 0) {
      json.Null();
      continue;
    }
    json.String(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
  }
  json.EndArray();
  Send(control, getSelection, 0, 0, &selected);
  json.Key("selected");
  json.Int(static_cast<int>(selected));
}

bool IsCheckStyle(LONG style) {
  switch (style & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_AUTORADIOBUTTON: return true;
    default: return false;
  }
}

}  // namespace

void WriteControl(JsonWriter& json, HWND control, HWND focus) {
  const std::wstring cls = ClassOf(control);
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  HWND parent = GetParent(control);
  json.BeginObject();
  json.Key("hwnd");
  json.Hex(reinterpret_cast<std::uintptr_t>(control));
  json.Key("parent");
  json.Hex(reinterpret_cast<std::uintptr_t>(parent));
  json.Key("id");
  json.Int(static_cast<int>(GetWindowLongPtrW(control, GWLP_ID)));
  json.Key("class");
  json.String(cls);
  json.Key("text");
  std::wstring text;
  if (ReadText(control, &text)) {
    json.String(text);
  } else {
    json.Null();
  }
  json.Key("enabled");
  json.Bool(IsWindowEnabled(control) != FALSE);
  json.Key("visible");
  json.Bool(IsWindowVisible(control) != FALSE);
  json.Key("style");
  json.UInt(static_cast<DWORD>(style));
  json.Key("exstyle");
  json.UInt(static_cast<DWORD>(GetWindowLongW(control, GWL_EXSTYLE)));
  json.Key("checked");
  LRESULT check = 0;
  if (lstrcmpiW(cls.c_str(), L"Button") == 0 && IsCheckStyle(style) && Send(control, BM_GETCHECK, 0, 0, &check)) {
    json.Int(check);
  } else {
    json.Null();
  }
  json.Key("focus");
  json.Bool(focus != nullptr && focus == control);
  json.Key("focus_within");
  json.Bool(focus != nullptr && (focus == control || IsChild(control, focus)));
  RECT screen = {};
  GetWindowRect(control, &screen);
  RECT local = screen;
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&local), 2);
  json.Key("rect");
  WriteRect(json, local);
  json.Key("screen_rect");
  WriteRect(json, screen);
  LRESULT font = 0;
  bool fontKnown = Query(control, WM_GETFONT, 0, &font);
  bool hasFont = fontKnown && font != 0;
  json.Key("has_font");
  if (fontKnown) {
    json.Bool(hasFont);
  } else {
    json.Null();
  }
  json.Key("font");
  LOGFONTW logFont = {};
  if (hasFont && GetObjectW(reinterpret_cast<HGDIOBJ>(font), sizeof logFont, &logFont) == sizeof logFont) {
    json.BeginObject();
    json.Key("face");
    json.String(logFont.lfFaceName, wcsnlen(logFont.lfFaceName, LF_FACESIZE));
    json.Key("height");
    json.Int(logFont.lfHeight);
    json.Key("weight");
    json.Int(logFont.lfWeight);
    json.Key("italic");
    json.Bool(logFont.lfItalic != 0);
    json.Key("charset");
    json.Int(logFont.lfCharSet);
    json.EndObject();
  } else {
    json.Null();
  }
  json.Key("icon");
  LRESULT icon = 0;
  if (lstrcmpiW(cls.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
    json.Bool(Send(control, STM_GETICON, 0, 0, &icon) && icon != 0);
  } else {
    json.Null();
  }
  if (lstrcmpiW(cls.c_str(), L"Edit") == 0) {
    json.Key("password");
    json.Bool((style & ES_PASSWORD) != 0);
  } else if (lstrcmpiW(cls.c_str(), L"ComboBox") == 0) {
    WriteStringList(json, control, true);
  } else if (lstrcmpiW(cls.c_str(), L"ListBox") == 0) {
    WriteStringList(json, control, false);
  } else if (lstrcmpiW(cls.c_str(), WC_LISTVIEWW) == 0) {
    WriteListView(json, control);
  }
  json.EndObject();
}

}  // namespace tvn_inspect
