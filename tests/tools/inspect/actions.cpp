#include "tests/tools/inspect/actions.h"

// After windows.h, which it needs.
#include <commctrl.h>

#include <string>

#include "tests/tools/inspect/list_view.h"
#include "tests/tools/inspect/messages.h"

namespace tvn_inspect {

using tvn_tools::JsonWriter;

namespace {

struct FindId {
  int id;
  HWND found;
};

BOOL CALLBACK FindById(HWND window, LPARAM data) {
  FindId* find = reinterpret_cast<FindId*>(data);
  if (static_cast<int>(GetWindowLongPtrW(window, GWLP_ID)) != find->id) return TRUE;
  find->found = window;
  return FALSE;
}

HWND FindControl(HWND window, int id) {
  HWND direct = GetDlgItem(window, id);
  if (direct) return direct;
  FindId find{id, nullptr};
  EnumChildWindows(window, FindById, reinterpret_cast<LPARAM>(&find));
  return find.found;
}

HWND FocusOf(HWND window) {
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  DWORD tid = GetWindowThreadProcessId(window, nullptr);
  return tid && GetGUIThreadInfo(tid, &gui) ? gui.hwndFocus : nullptr;
}

bool FocusControl(HWND window, HWND control, std::string* error) {
  if (ClassIs(window, L"#32770")) {
    if (!PostMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE)) {
      *error = "PostMessage failed";
      return false;
    }
  } else {
    DWORD self = GetCurrentThreadId();
    DWORD target = GetWindowThreadProcessId(control, nullptr);
    bool attached = target != self && AttachThreadInput(self, target, TRUE);
    SetFocus(control);
    if (attached) AttachThreadInput(self, target, FALSE);
  }
  for (DWORD waited = 0; waited <= 1000; waited += kPollMs) {
    HWND focus = FocusOf(control);
    if (focus == control || IsChild(control, focus)) return true;
    Sleep(kPollMs);
  }
  *error = "the focus did not move";
  return false;
}

// The screen point at which a click hits list-view item `index`.
bool ListItemPoint(HWND list, int index, POINT* point, std::string* error) {
  LRESULT count = 0;
  if (!Send(list, LVM_GETITEMCOUNT, 0, 0, &count) || index < 0 || index >= count) {
    *error = "no such item";
    return false;
  }
  Send(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE, nullptr);
  RemoteBuffer remote;
  if (!remote.Open(list, kRemoteSize)) {
    *error = "cannot open the list's process";
    return false;
  }
  const int codes[] = {LVIR_ICON, LVIR_LABEL, LVIR_BOUNDS};
  for (int code : codes) {
    RECT rect = {};
    if (!RemoteItemRect(remote, list, index, code, &rect) || rect.right <= rect.left || rect.bottom <= rect.top)
      continue;
    POINT centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    int hit = -1;
    if (!RemoteHitTest(remote, list, centre, &hit) || hit != index) continue;
    ClientToScreen(list, &centre);
    *point = centre;
    return true;
  }
  *error = "the item has no visible point";
  return false;
}

bool SelectListItem(HWND list, int index, std::string* error) {
  LRESULT count = 0;
  if (!Send(list, LVM_GETITEMCOUNT, 0, 0, &count) || index < 0 || index >= count) {
    *error = "no such item";
    return false;
  }
  RemoteBuffer remote;
  if (!remote.Open(list, kRemoteSize)) {
    *error = "cannot open the list's process";
    return false;
  }
  // As a click does: the other items lose their selection first.
  LVITEMW item = {};
  item.stateMask = LVIS_SELECTED;
  LRESULT ok = 0;
  if (!remote.Write(0, &item, sizeof item) ||
      !Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(remote.At(0)), &ok) || !ok) {
    *error = "LVM_SETITEMSTATE failed";
    return false;
  }
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  if (!remote.Write(0, &item, sizeof item) ||
      !Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote.At(0)), &ok) || !ok) {
    *error = "LVM_SETITEMSTATE failed";
    return false;
  }
  Send(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE, nullptr);
  return true;
}

}  // namespace

int RunAction(const Options& o, HWND window, JsonWriter& json) {
  std::string error;
  HWND control = window;
  bool needsControl = o.action != Action::Close && !(o.action == Action::SetText && o.controlId == 0);
  if (needsControl) {
    control = FindControl(window, o.controlId);
    if (!control) error = "no control with that id";
  }
  bool ok = false;
  POINT point = {};
  bool hasPoint = false;
  if (error.empty()) {
    switch (o.action) {
      case Action::Close: ok = PostMessageW(window, WM_CLOSE, 0, 0) != FALSE; break;
      case Action::Click: ok = PostMessageW(control, BM_CLICK, 0, 0) != FALSE; break;
      case Action::SetText: {
        LRESULT result = 0;
        ok = Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(o.text.c_str()), &result) && result != FALSE;
        break;
      }
      case Action::SetCheck: {
        ok = Send(control, BM_SETCHECK, static_cast<WPARAM>(o.number), 0, nullptr);
        LRESULT state = -1;
        if (ok && (!Send(control, BM_GETCHECK, 0, 0, &state) || state != static_cast<LRESULT>(o.number))) {
          ok = false;
          error = "the check state did not change";
        }
        break;
      }
      case Action::Focus: ok = FocusControl(window, control, &error); break;
      case Action::LvSelect: ok = SelectListItem(control, static_cast<int>(o.number), &error); break;
      case Action::LvDblClick:
      case Action::LvRClick: ok = hasPoint = ListItemPoint(control, static_cast<int>(o.number), &point, &error); break;
      case Action::None: break;
    }
    if (!ok && error.empty()) error = "the call failed (error " + std::to_string(GetLastError()) + ")";
  }
  json.BeginObject().Key("action").Ascii(o.actionName).Key("hwnd").Handle(window);
  json.Key("control").Handle(control).Key("ok").Bool(ok);
  if (hasPoint) json.Key("x").Int(point.x).Key("y").Int(point.y);
  if (!ok) json.Key("error").Ascii(error.c_str());  // fixed ASCII texts only
  json.EndObject();
  return ok ? 0 : 1;
}

}  // namespace tvn_inspect
