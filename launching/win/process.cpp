#include "launching/win/process.h"

#include <shellapi.h>

#include <vector>

#include "base/system_paths.h"
#include "base/text.h"
#include "base/win/system_search.h"
#include "base/win/unique_handle.h"
#include "base/win/wide.h"
#include "launching/command_split.h"
#include "launching/shell_errors.h"
#include "launching/win/system_folder.h"

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

// The folder of the running executable, and the process's current directory
// (each left out when unknown): places where the shell looks for a bare name,
// and which a limited user may be able to write.
std::vector<Text> ProcessFolders() {
  std::vector<Text> folders;
  Text module(kPathUnits, u'\0');
  const DWORD length = GetModuleFileNameW(nullptr, W(module), static_cast<DWORD>(kPathUnits));
  if (length > 0 && length < kPathUnits) {
    module.resize(length);
    folders.push_back(FolderOfPath(module));
  }
  Text current(kPathUnits, u'\0');
  const DWORD currentLength = GetCurrentDirectoryW(static_cast<DWORD>(kPathUnits), W(current));
  if (currentLength > 0 && currentLength < kPathUnits) {
    current.resize(currentLength);
    folders.push_back(std::move(current));
  }
  return folders;
}

}  // namespace

bool StartProgram(const wchar_t* programPath, const wchar_t* commandLine, DWORD creationFlags, bool wait,
                  DWORD* processId) noexcept {
  if (programPath == nullptr || *programPath == L'\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  // A relative name would be looked up from the caller's current directory.
  if (!IsFullyQualifiedPath(ToText(programPath))) {
    SetLastError(ERROR_BAD_PATHNAME);
    return false;
  }
  // The new process starts in the system folder, never in the caller's
  // directory: that may be a folder a limited user can write, and a program
  // started there (the interpreter, say) looks for the programs it runs in
  // its current directory first.
  const Text directory = SystemFolder();
  if (directory.empty()) return false;  // SystemFolder's code is the last error

  // CreateProcessW may write into its command line, so it gets a copy.
  std::vector<wchar_t> commandCopy;
  if (commandLine != nullptr) {
    commandCopy.assign(commandLine, commandLine + wcslen(commandLine));
    commandCopy.push_back(L'\0');
  }

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(programPath, commandCopy.empty() ? nullptr : commandCopy.data(), nullptr, nullptr, FALSE,
                      creationFlags, nullptr, W(directory), &startup, &info)) {
    return false;  // CreateProcessW's own error is still the last error
  }
  UniqueHandleKernel process(info.hProcess);
  UniqueHandleKernel thread(info.hThread);
  if (processId != nullptr) *processId = info.dwProcessId;

  if (wait && WaitForSingleObject(process.get(), INFINITE) == WAIT_FAILED) return false;
  SetLastError(0);
  return true;  // the owners close both handles and keep the last error
}

bool StartProcess(const wchar_t* programName, const wchar_t* commandLine, DWORD creationFlags, bool wait,
                  DWORD* processId) noexcept {
  if (programName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  Text programPath = EnvironmentValue(programName);
  if (programPath.empty()) programPath = ToText(programName);
  if (programPath.size() >= kPathUnits) {  // a cut path would name another program
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  return StartProgram(W(programPath), commandLine, creationFlags, wait, processId);
}

bool ShellRun(HWND owner, const wchar_t* commandText, int showState) noexcept {
  CommandSplit split = SplitCommandText(commandText ? ToText(commandText) : Text());
  // The root of the system drive ("C:\"). The drive alone ("C:") would stand
  // for the caller's current directory on that drive, and the shell looks for
  // a bare program name in the working directory first.
  const Text directory = SystemDriveRoot(EnvironmentValue(L"systemdrive"), SystemFolder());

  // A program or document named without a folder is given its full path
  // here, from the system's own folders: the shell would look in the working
  // directory and the executable's folder first, where a limited user may
  // have put a file of that name. A name found nowhere goes to the shell as
  // it was (for its own error, or its registered application paths), unless
  // such a folder holds it.
  std::vector<Text> untrusted = ProcessFolders();
  if (!directory.empty()) untrusted.push_back(directory);
  SearchResult found = FindInSystemFolders(split.file, untrusted);
  if (found.outcome == SearchOutcome::kRefused) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  if (found.outcome == SearchOutcome::kFound) split.file = std::move(found.path);

  SHELLEXECUTEINFOW execute = {};
  execute.cbSize = sizeof(execute);
  execute.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_UNICODE;
  execute.hwnd = owner;
  execute.lpFile = W(split.file);
  execute.lpParameters = W(split.parameters);
  execute.lpDirectory = directory.empty() ? nullptr : W(directory);
  execute.nShow = showState;
  SetLastError(0);
  if (!ShellExecuteExW(&execute)) {
    // The shell does not always set an error code with a failure; then the
    // system error of its SE_ERR_ result stands in, so that a failure never
    // reads as "completed successfully".
    if (GetLastError() == 0) {
      SetLastError(SystemErrorOfShellResult(reinterpret_cast<INT_PTR>(execute.hInstApp)));
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
