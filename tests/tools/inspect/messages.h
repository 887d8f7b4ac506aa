// Asking the windows of another process: messages with a time limit, and the
// window facts every part of the inspector reads.
#pragma once

#include <windows.h>

#include <string>

namespace tvn_inspect {

constexpr UINT kSendTimeoutMs = 2000;
constexpr UINT kPollMs = 50;
constexpr int kMaxListItems = 10000;

// SendMessageTimeout; false when the window does not answer in time.
bool Send(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);
// A query whose synchronous answer Wine withholds from other processes
// (WM_GETFONT, WM_GETICON), through SendMessageCallbackW.
bool Query(HWND window, UINT message, WPARAM wparam, LRESULT* result);

std::wstring ClassOf(HWND window);
bool ClassIs(HWND window, const wchar_t* name);
// WM_GETTEXT through SendMessageTimeout; false when the window does not answer.
bool ReadText(HWND window, std::wstring* text);
// The file name of the program of process `pid`; empty when it cannot be read.
std::wstring ExeName(DWORD pid);
// The TokenElevationType of process `pid` (1 default, 2 full, 3 limited).
bool ElevationTypeOf(DWORD pid, DWORD* type);

}  // namespace tvn_inspect
