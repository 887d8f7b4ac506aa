#include "launching/win/process.h"

#include <shellapi.h>

#include <vector>

#include "launcher/text.h"
#include "launcher/win/unique_handle.h"
#include "launcher/win/wide.h"
#include "launching/command_split.h"

namespace tvn {

namespace {

// The value of an environment variable if it exists, is not empty and fits
// a buffer of kPathUnits units; otherwise the empty text.
Text EnvironmentValue(const wchar_t* name) {
  Text buffer(kPathUnits, u'\0');
  DWORD length = GetEnvironmentVariableW(name, W(buffer), static_cast<DWORD>(kPathUnits));
  // A value that does not fit leaves the buffer undefined and returns the size
  // it needs (more than the buffer): treat it as missing rather than use it.
  if (length >= kPathUnits) length = 0;
  buffer.resize(length);
  return buffer;
}

}  // namespace

bool StartProcess(const wchar_t* programName, const wchar_t* commandLine, DWORD creationFlags, bool wait,
                  DWORD* processId) noexcept {
  if (programName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  Text programPath = EnvironmentValue(programName);
  if (programPath.empty()) programPath = Truncated(ToText(programName), kPathUnits);

  // CreateProcessW may write into its command line, so it gets a copy.
  std::vector<wchar_t> commandCopy;
  if (commandLine != nullptr) {
    commandCopy.assign(commandLine, commandLine + wcslen(commandLine));
    commandCopy.push_back(L'\0');
  }

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(W(programPath), commandCopy.empty() ? nullptr : commandCopy.data(), nullptr, nullptr, FALSE,
                      creationFlags, nullptr, nullptr, &startup, &info)) {
    return false;  // CreateProcessW's own error is still the last error
  }
  UniqueHandleKernel process(info.hProcess);
  UniqueHandleKernel thread(info.hThread);
  if (processId != nullptr) *processId = info.dwProcessId;

  if (wait && WaitForSingleObject(process.get(), INFINITE) == WAIT_FAILED) return false;
  SetLastError(0);
  return true;  // the owners close both handles and keep the last error
}

bool ShellRun(HWND owner, const wchar_t* commandText, int showState) noexcept {
  CommandSplit split = SplitCommandText(commandText ? ToText(commandText) : Text());
  Text directory = EnvironmentValue(L"systemdrive");

  SHELLEXECUTEINFOW execute = {};
  execute.cbSize = sizeof(execute);
  execute.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_UNICODE;
  execute.hwnd = owner;
  execute.lpFile = W(split.file);
  execute.lpParameters = W(split.parameters);
  execute.lpDirectory = directory.empty() ? nullptr : W(directory);
  execute.nShow = showState;
  if (!ShellExecuteExW(&execute)) {
    // The shell does not always set an error code with a failure; then its
    // SE_ERR_ result (whose common values are the same codes) stands in, so
    // that a failure never reads as "completed successfully".
    if (GetLastError() == 0) {
      INT_PTR result = reinterpret_cast<INT_PTR>(execute.hInstApp);
      SetLastError(result > 0 && result <= 32 ? static_cast<DWORD>(result) : ERROR_GEN_FAILURE);
    }
    return false;
  }
  SetLastError(0);
  return true;
}

bool BringToForeground(HWND window) noexcept {
  HWND foreground = GetForegroundWindow();
  if (foreground == nullptr) return false;
  DWORD self = GetCurrentThreadId();
  DWORD foregroundThread = GetWindowThreadProcessId(foreground, nullptr);
  if (foregroundThread == 0) return false;
  if (!AttachThreadInput(self, foregroundThread, TRUE)) return false;
  SetForegroundWindow(window);
  if (!AttachThreadInput(self, foregroundThread, FALSE)) return false;
  SetLastError(0);
  return true;
}

}  // namespace tvn
