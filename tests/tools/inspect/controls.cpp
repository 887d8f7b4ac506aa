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
  json.Key("items").BeginArray();
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
  Send(control, getSelection, 0, 0, &selected);
  json.EndArray().Key("selected").Int(static_cast<int>(selected));
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
  const auto isClass = [&](const wchar_t* name) { return lstrcmpiW(cls.c_str(), name) == 0; };
  json.BeginObject().Key("hwnd").Handle(control).Key("id").Int(static_cast<int>(GetWindowLongPtrW(control, GWLP_ID)));
  json.Key("class").String(cls).Key("text");
  std::wstring text;
  if (ReadText(control, &text)) {
    json.String(text);
  } else {
    json.Null();
  }
  json.Key("enabled").Bool(IsWindowEnabled(control) != FALSE).Key("visible").Bool(IsWindowVisible(control) != FALSE);
  LRESULT check = 0;
  const bool checkable = isClass(L"Button") && IsCheckStyle(style) && Send(control, BM_GETCHECK, 0, 0, &check);
  json.Key("checked").UIntOrNull(checkable, static_cast<unsigned long long>(check));
  json.Key("focus").Bool(focus != nullptr && focus == control);
  json.Key("focus_within").Bool(focus != nullptr && (focus == control || IsChild(control, focus)));
  RECT screen = {};
  GetWindowRect(control, &screen);
  RECT local = screen;
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&local), 2);
  WriteRect(json.Key("rect"), local);
  WriteRect(json.Key("screen_rect"), screen);
  LRESULT font = 0;
  const bool fontKnown = Query(control, WM_GETFONT, 0, &font);
  json.Key("has_font").BoolOrNull(fontKnown, font != 0).Key("icon");
  LRESULT icon = 0;
  if (isClass(L"Static") && (style & SS_TYPEMASK) == SS_ICON) {
    json.Bool(Send(control, STM_GETICON, 0, 0, &icon) && icon != 0);
  } else {
    json.Null();
  }
  if (isClass(L"Edit")) {
    json.Key("password").Bool((style & ES_PASSWORD) != 0);
  } else if (isClass(L"ComboBox") || isClass(L"ListBox")) {
    WriteStringList(json, control, isClass(L"ComboBox"));
  } else if (isClass(WC_LISTVIEWW)) {
    WriteListView(json, control);
  }
  json.EndObject();
}

}  // namespace tvn_inspect
