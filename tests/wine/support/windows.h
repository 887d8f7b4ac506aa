// Windows of the Windows-side tests: display checks, texts and fonts of
// controls, clicks and keys, and finding this thread's dialogs and boxes.
#pragma once

#include <windows.h>

#include <string>

namespace tvn_test {

// Whether the tests run with a display: a window can be created. (Without
// one Wine still reports a screen size, so the metrics cannot tell.)
bool HaveDisplay();

// The window's text (WM_GETTEXT through GetWindowTextW).
std::wstring TextOf(HWND window);
// The font a control draws with (WM_GETFONT); all zero when it has none.
LOGFONTW FontOf(HWND control);
// The window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND control);
// The id of the dialog's control that has the focus, or of the combo box
// whose edit has it; 0 when the focus is elsewhere.
int FocusedId(HWND dialog);

// A click as the user makes it: BM_CLICK posted to the button, which then
// reports to the dialog (nothing happens for a disabled button).
void ClickButton(HWND dialog, int id);
// What a clicked button sends: WM_COMMAND with BN_CLICKED, posted to the dialog.
void PostClicked(HWND dialog, int id);
// A key pressed and released, posted to `target`.
void PostKey(HWND target, UINT virtualKey);

// The first visible window of this thread of the class, with the caption
// (null: any) and a control with the id (0: any).
HWND FindThreadWindow(const wchar_t* className, const wchar_t* caption = nullptr, int controlId = 0);
// The same for dialog boxes (class "#32770").
HWND FindThreadDialog(int controlId, const wchar_t* caption = nullptr);

// The tool's message boxes: a dialog box with the caption "Tolvane" (the
// splash window's caption, "Tolvane 3.1", only contains it) and the box's
// text control.
constexpr int kMessageBoxTextId = 0xFFFF;
extern const wchar_t kMessageBoxCaption[];
HWND FindThreadMessageBox();
// A message box of this process on any thread.
HWND FindProcessMessageBox();
// The text of a message box.
std::wstring MessageBoxText(HWND box);

// The one polling loop of the Windows-side tests: calls `done` every 10 ms
// until it returns true or `timeoutMs` have passed, at least once; true when
// it did.
template <typename Done>
bool WaitFor(Done done, DWORD timeoutMs) {
  const ULONGLONG start = GetTickCount64();
  while (!done()) {
    if (GetTickCount64() - start >= timeoutMs) return false;
    Sleep(10);
  }
  return true;
}

// Serves this thread's messages for `ms` milliseconds.
void PumpMessages(DWORD ms);

}  // namespace tvn_test
