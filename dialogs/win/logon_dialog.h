// The log-on dialog (template 200): domain, user name and password, the
// load-profile and current-credentials boxes, Log on, Close and "?".
#pragma once

#include <windows.h>

namespace tvn {

// The dialog procedure; the creation parameter is the LogonDescription (its
// context set), which stays owned by the caller until the dialog has ended.
// The dialog always ends with 0.
INT_PTR CALLBACK LogonDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace tvn
