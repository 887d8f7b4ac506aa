// tvn_bare_dialog.exe: the floor of a program that shows one dialog, for the
// start-up benchmark to set TVN.exe's figures against.
//
//   tvn_bare_dialog.exe EXE TEMPLATE
//
// Shows the executable's dialog template (loaded as a data file) modally,
// under the executable's own manifest (common controls 6.0 for TVN.exe) and
// with the list-view classes registered, but fills in nothing: the template
// as TVN.exe would show it before applying its description. The dialog's
// caption is set to "tvn_bare_dialog", so that it can be found. Ends when it
// is closed (WM_CLOSE or Escape), with exit code 0; exit code 1 when the
// arguments are missing or the executable, its template or the dialog cannot
// be had.
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <cwchar>

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

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return __argc >= 3 ? ShowTemplateOf(__wargv[1], _wtoi(__wargv[2])) : 1;
}
