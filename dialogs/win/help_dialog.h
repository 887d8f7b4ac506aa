// The help dialog (template 500): about text, disclaimer, Close and
// Diagnostics. It loads its own description section at every opening and
// releases it at every close; DialogLayout keeps its controls in place.
#pragma once

#include <windows.h>

#include "description/records.h"

namespace tvn {

// The dialog procedure; the creation parameter is the AppContext (or null:
// then nothing is loaded and the dialog shows an empty description).
INT_PTR CALLBACK HelpDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// DialogBoxParamW(the executable's module, 500, owner, HelpDialogProc,
// &context): 0 closed, 1 Diagnostics, -1 the dialog did not open.
INT_PTR RunHelpDialog(HWND owner, const AppContext& context);

// What both callers (the log-on and command dialogs) do with the "?" button:
// run the help dialog; on -1 show the warning box; on 1 start `exePath` with
// " t" and, when that started, close `caller` (WM_CLOSE), else show the
// warning box; on 0 nothing. `context` may be null (an empty context).
void OpenHelpFrom(HWND caller, const AppContext* context);

}  // namespace tvn
