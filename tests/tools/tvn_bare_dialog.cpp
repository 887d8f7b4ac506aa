// tvn_bare_dialog.exe: the floor of a program that shows one dialog, for the
// start-up benchmark to set TVN.exe's figures against.
//
//   tvn_bare_dialog.exe [EXE TEMPLATE]
//
// Shows one modal dialog and ends when it is closed (WM_CLOSE or Escape),
// with exit code 0. With EXE and TEMPLATE it shows that executable's dialog
// template (loaded as a data file), under the executable's own manifest
// (common controls 6.0 for TVN.exe) and with the list-view classes
// registered, but fills in nothing: the template as TVN.exe would show it
// before applying its description. Without arguments it shows a small
// template of its own (one text and one button). Either way the dialog's
// caption is set to "tvn_bare_dialog", so that it can be found.
// Exit code 1 when the executable, its template or the dialog cannot be had.
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <cwchar>
#include <vector>

#include "base/win/unique_handle.h"

namespace {

constexpr wchar_t kCaption[] = L"tvn_bare_dialog";

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: SetWindowTextW(dialog, kCaption); return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) EndDialog(dialog, 0);
      return TRUE;
    case WM_CLOSE: EndDialog(dialog, 0); return TRUE;
    default: return FALSE;
  }
}

// Appends `value` to a template under construction.
template <typename T>
void Put(std::vector<WORD>& out, const T& value) {
  const WORD* words = reinterpret_cast<const WORD*>(&value);
  out.insert(out.end(), words, words + sizeof(T) / sizeof(WORD));
}

void PutText(std::vector<WORD>& out, const wchar_t* text) {
  do out.push_back(static_cast<WORD>(*text));
  while (*text++ != L'\0');
}

void Align(std::vector<WORD>& out) {
  if (out.size() % 2 != 0) out.push_back(0);
}

// One control of the built-in template: a predefined class by its atom.
void PutItem(std::vector<WORD>& out, DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom,
             const wchar_t* text) {
  Align(out);
  DLGITEMTEMPLATE item = {style | WS_CHILD | WS_VISIBLE, 0, x, y, cx, cy, id};
  Put(out, item);
  out.push_back(0xFFFF);
  out.push_back(atom);
  PutText(out, text);
  out.push_back(0);  // no creation data
}

// The built-in template: 160 by 60 dialog units, a text and an OK button.
std::vector<WORD> BuiltInTemplate() {
  std::vector<WORD> out;
  DLGTEMPLATE header = {
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT, 0, 2, 0, 0, 160, 60};
  Put(out, header);
  out.push_back(0);  // no menu
  out.push_back(0);  // the predefined dialog class
  PutText(out, L"");
  out.push_back(8);
  PutText(out, L"MS Sans Serif");
  PutItem(out, SS_LEFT, 7, 7, 146, 20, 100, 0x0082, L"A bare dialog from a template.");
  PutItem(out, BS_DEFPUSHBUTTON | WS_TABSTOP, 55, 36, 50, 14, IDOK, 0x0080, L"OK");
  return out;
}

int ShowTemplateOf(const wchar_t* exePath, int templateId) {
  // The executable's manifest (resource 1), so that its controls are the ones
  // TVN.exe gets.
  ACTCTXW context = {};
  context.cbSize = sizeof(context);
  context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.lpSource = exePath;
  context.lpResourceName = MAKEINTRESOURCEW(1);
  HANDLE activation = CreateActCtxW(&context);
  ULONG_PTR cookie = 0;
  if (activation != INVALID_HANDLE_VALUE) ActivateActCtx(activation, &cookie);

  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);

  int code = 1;
  const tvn::UniqueModule module(LoadLibraryExW(exePath, nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (module && DialogBoxParamW(module.get(), MAKEINTRESOURCEW(templateId), nullptr, DialogProc, 0) != -1) code = 0;
  if (activation != INVALID_HANDLE_VALUE) {
    DeactivateActCtx(0, cookie);
    ReleaseActCtx(activation);
  }
  return code;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  if (__argc >= 3) return ShowTemplateOf(__wargv[1], _wtoi(__wargv[2]));
  std::vector<WORD> dialog = BuiltInTemplate();
  return DialogBoxIndirectParamW(instance, reinterpret_cast<const DLGTEMPLATE*>(dialog.data()), nullptr, DialogProc,
                                 0) == -1
             ? 1
             : 0;
}
