// The one message box through which the tool reports every error.
#pragma once

#include <windows.h>

namespace tvn {

// Kinds of box (icon): 0 information, 1 warning, 2 error, 3 question.
enum ErrorKind : UINT { kKindInformation = 0, kKindWarning = 1, kKindError = 2, kKindQuestion = 3 };

// Shows a modal box captioned "Tolvane" with the caller's text, the thread's
// last-error code ("Error (%d): ") and the system's text for it, as asked.
// The last error is read first; the box has only an OK button.
void ShowError(HWND owner, UINT kind, bool withSystemText, bool withErrorCode, const wchar_t* text);

}  // namespace tvn
