// cscript.exe stand-in for the Wine test environment.
//
// Wine's script host ends at once when it is given an engine switch
// ("/e:javascript") and chooses the engine by the script's extension instead.
// The test environment (scripts/wine-env.sh, tests/e2e/tvn/env.py) copies
// Wine's own script host in the prefix's system folder to
// tvn_wine_cscript.exe and installs this program as the system folder's
// cscript.exe, the one TVN.exe names by its full path. It drops every
// "/e:..." and "//e:..." switch that comes before the script name, runs
// tvn_wine_cscript.exe from the system folder with the remaining arguments,
// waits for it and returns its exit code. Arguments after the script name
// belong to the script and are passed through untouched. It exists only in
// the test prefix: nothing a user installs carries it.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/win/unique_handle.h"

namespace {

bool IsEngineSwitch(const std::wstring& arg) {
  size_t start = 0;
  while (start < arg.size() && start < 2 && arg[start] == L'/') ++start;
  if (start == 0 || arg.size() < start + 2) return false;
  return (arg[start] == L'e' || arg[start] == L'E') && arg[start + 1] == L':';
}

bool IsHostOption(const std::wstring& arg) { return !arg.empty() && arg[0] == L'/'; }

// Appends one argument so that CommandLineToArgvW (and the C run-time's parser)
// reads it back unchanged: quoted when it is empty or holds blanks or quotes,
// with backslashes doubled only where they precede a quote.
void AppendQuoted(std::wstring& line, const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += arg;
    return;
  }
  line += L'"';
  for (size_t i = 0;; ++i) {
    size_t backslashes = 0;
    while (i < arg.size() && arg[i] == L'\\') {
      ++backslashes;
      ++i;
    }
    if (i == arg.size()) {
      line.append(backslashes * 2, L'\\');
      break;
    }
    if (arg[i] == L'"') {
      line.append(backslashes * 2 + 1, L'\\');
    } else {
      line.append(backslashes, L'\\');
    }
    line += arg[i];
  }
  line += L'"';
}

void Report(const char* what, DWORD error) {
  std::fprintf(stderr, "cscript shim: %s failed, error %lu\n", what, error);
}

}  // namespace

int wmain() {
  int argc = 0;
  const tvn::UniqueLocal arguments(CommandLineToArgvW(GetCommandLineW(), &argc));
  LPWSTR* argv = static_cast<LPWSTR*>(arguments.get());
  if (argv == nullptr) {
    Report("CommandLineToArgvW", GetLastError());
    return 1;
  }

  wchar_t systemDir[MAX_PATH];
  const UINT length = GetSystemDirectoryW(systemDir, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    Report("GetSystemDirectoryW", GetLastError());
    return 1;
  }
  std::wstring host = std::wstring(systemDir) + L"\\tvn_wine_cscript.exe";

  std::wstring line;
  AppendQuoted(line, host);
  bool inHostOptions = true;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (inHostOptions && !IsHostOption(arg)) inHostOptions = false;
    if (inHostOptions && IsEngineSwitch(arg)) continue;
    line += L' ';
    AppendQuoted(line, arg);
  }

  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(L'\0');

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(host.c_str(), buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    Report("CreateProcessW", GetLastError());
    return 1;
  }
  const tvn::UniqueHandleKernel child(process.hProcess);
  const tvn::UniqueHandleKernel childThread(process.hThread);
  WaitForSingleObject(child.get(), INFINITE);
  DWORD exitCode = 1;
  if (!GetExitCodeProcess(child.get(), &exitCode)) exitCode = 1;
  return static_cast<int>(exitCode);
}
