#include "tests/wine/support/windows.h"

#include <vector>

#include "base/win/unique_handle.h"

namespace tvn_test {

const wchar_t kMessageBoxCaption[] = L"Tolvane";

bool HaveDisplay() {
  const tvn::UniqueWindow probe(
      CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
  return static_cast<bool>(probe);
}

std::wstring TextOf(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return std::wstring();
  std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  return std::wstring(text.data(), copied > 0 ? static_cast<std::size_t>(copied) : 0);
}

LOGFONTW FontOf(HWND control) {
  LOGFONTW font = {};
  HFONT handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  if (handle) GetObjectW(handle, sizeof(font), &font);
  return font;
}

RECT RectInParent(HWND control) {
  RECT r = {};
  GetWindowRect(control, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

int FocusedId(HWND dialog) {
  HWND focus = GetFocus();
  if (focus == nullptr) return 0;
  if (GetParent(focus) != dialog) focus = GetParent(focus);
  return GetParent(focus) == dialog ? GetDlgCtrlID(focus) : 0;
}

void ClickButton(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void PostClicked(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void PostKey(HWND target, UINT virtualKey) {
  PostMessageW(target, WM_KEYDOWN, virtualKey, 0);
  PostMessageW(target, WM_KEYUP, virtualKey, 0xC0000000);
}

namespace {

bool ClassIs(HWND window, const wchar_t* className) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return lstrcmpW(name, className) == 0;
}

struct Search {
  const wchar_t* className;
  const wchar_t* caption;
  int controlId;
  DWORD processId;  // 0: this thread's windows
  HWND found;
};

bool Matches(HWND window, const Search& search) {
  if (search.processId != 0) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId) return false;
  }
  if (!ClassIs(window, search.className) || !IsWindowVisible(window)) return false;
  if (search.controlId != 0 && GetDlgItem(window, search.controlId) == nullptr) return false;
  return search.caption == nullptr || TextOf(window) == search.caption;
}

BOOL CALLBACK Look(HWND window, LPARAM param) {
  Search* search = reinterpret_cast<Search*>(param);
  if (!Matches(window, *search)) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND FindThreadWindow(const wchar_t* className, const wchar_t* caption, int controlId) {
  Search search = {className, caption, controlId, 0, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), Look, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindThreadDialog(int controlId, const wchar_t* caption) { return FindThreadWindow(L"#32770", caption, controlId); }

HWND FindThreadMessageBox() { return FindThreadDialog(kMessageBoxTextId, kMessageBoxCaption); }

HWND FindProcessMessageBox() {
  Search search = {L"#32770", kMessageBoxCaption, kMessageBoxTextId, GetCurrentProcessId(), nullptr};
  EnumWindows(Look, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring MessageBoxText(HWND box) { return TextOf(GetDlgItem(box, kMessageBoxTextId)); }

void PumpMessages(DWORD ms) {
  WaitFor(
      [] {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        return false;
      },
      ms);
}

}  // namespace tvn_test
