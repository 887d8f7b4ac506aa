#include "tests/wine/support/processes.h"

#include <cwchar>

#include "base/win/unique_handle.h"

namespace tvn_test {

ProgramRun RunProgram(const wchar_t* program, std::wstring commandLine, const ProgramOptions& options) {
  ProgramRun run;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  if (options.output != nullptr) {
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdOutput = options.output;
    startup.hStdError = options.output;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  }
  if (options.show >= 0) {
    startup.dwFlags |= STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(options.show);
  }
  DWORD flags = options.creationFlags;
  void* environment = nullptr;
  std::vector<wchar_t> block = options.environment;
  if (!block.empty()) {
    flags |= CREATE_UNICODE_ENVIRONMENT;
    environment = block.data();
  }
  PROCESS_INFORMATION info = {};
  // CreateProcessW may write into the command line: it gets a copy of its own.
  if (!CreateProcessW(program, &commandLine[0], nullptr, nullptr, options.output != nullptr, flags, environment,
                      options.directory, &startup, &info)) {
    run.startError = GetLastError();
    return run;
  }
  run.started = true;
  tvn::UniqueHandleKernel process(info.hProcess);
  tvn::UniqueHandleKernel thread(info.hThread);
  const ULONGLONG deadline = GetTickCount64() + options.timeoutMs;
  for (;;) {
    const DWORD wait = options.pumpMessages ? MsgWaitForMultipleObjects(1, &info.hProcess, FALSE, 100, QS_ALLINPUT)
                                            : WaitForSingleObject(info.hProcess, 100);
    if (wait == WAIT_OBJECT_0) {
      run.ended = true;
      break;
    }
    if (options.pumpMessages) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
    if (GetTickCount64() > deadline) {
      TerminateProcess(info.hProcess, 99);
      WaitForSingleObject(info.hProcess, 5000);
      break;
    }
  }
  GetExitCodeProcess(info.hProcess, &run.exitCode);
  return run;
}

std::vector<wchar_t> EnvironmentWithout(const wchar_t* name, const std::vector<std::wstring>& extra) {
  std::vector<wchar_t> block;
  const std::wstring prefix = std::wstring(name) + L"=";
  wchar_t* strings = GetEnvironmentStringsW();
  for (const wchar_t* entry = strings; entry && *entry; entry += wcslen(entry) + 1) {
    if (_wcsnicmp(entry, prefix.c_str(), prefix.size()) == 0) continue;
    block.insert(block.end(), entry, entry + wcslen(entry) + 1);
  }
  if (strings) FreeEnvironmentStringsW(strings);
  for (const std::wstring& entry : extra) block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
  block.push_back(L'\0');
  return block;
}

}  // namespace tvn_test
