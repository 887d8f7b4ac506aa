// Starting programs and bringing a dialog to the front.
//
// Each operation returns true with the thread's last error 0, or false with
// the error code of the platform call that failed.
#pragma once

#include <windows.h>

namespace tvn {

// Starts the program `programPath` with CreateProcessW, with the system
// folder as its current directory. Only a fully qualified path is started: a
// relative one would be found through the caller's current directory, and is
// refused with ERROR_BAD_PATHNAME. `commandLine` (may be null) is handed over
// as a modifiable copy. With `wait`, returns only after the program has ended,
// whatever its exit code. Both process handles are closed on every path.
// `processId`, when given, receives the started program's identifier.
[[nodiscard]] bool StartProgram(const wchar_t* programPath, const wchar_t* commandLine, DWORD creationFlags, bool wait,
                                DWORD* processId = nullptr) noexcept;

// StartProgram after a look-up: `programName` is first read as the name of an
// environment variable; when no such variable exists (or it is empty, or too
// long for a path buffer) the name itself is the program path, so a full path
// such as the tool's own is started as it is. A name of 1024 units or more is
// refused (ERROR_FILENAME_EXCED_RANGE), never cut.
[[nodiscard]] bool StartProcess(const wchar_t* programName, const wchar_t* commandLine, DWORD creationFlags, bool wait,
                                DWORD* processId = nullptr) noexcept;

// Opens what `commandText` names through ShellExecuteExW, in the root of the
// system drive ("C:\": the drive named by the "systemdrive" variable, or else
// the system folder's drive). The text is split by SplitCommandText
// (launching/command_split.h). A program or document named without a folder
// ("regedit.exe", "control") is opened by the full path that
// FindInSystemFolders gives (base/win/system_search.h); one found nowhere is
// handed on as it is, and one found only in the working directory, the
// executable's folder or the current directory is refused with
// ERROR_FILE_NOT_FOUND. Errors are never shown by the shell
// (SEE_MASK_FLAG_NO_UI); a failure without a code gets the system error of
// the shell's SE_ERR_ result (launching/shell_errors.h).
[[nodiscard]] bool ShellRun(HWND owner, const wchar_t* commandText, int showState) noexcept;

// Makes `window` the foreground window by attaching the calling thread's
// input to that of the current foreground window around SetForegroundWindow.
// False when there is no foreground window or the attachment fails (also
// when the foreground window belongs to the calling thread).
bool BringToForeground(HWND window) noexcept;

}  // namespace tvn
