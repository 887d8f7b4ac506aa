// tvn_spawn.exe: starts a program with an exact, raw command line.
//
//   tvn_spawn.exe [--cwd DIR] [--suspended] [--env NAME=VALUE]... [--unset NAME]... PROGRAM TAIL
//
// Starts PROGRAM with CreateProcessW and the command line `"PROGRAM"` + TAIL,
// where TAIL is taken verbatim (pass it as one argument; it may hold quotes).
// A TAIL that begins with a blank is also how the tool starts its own copies
// (" c"), which then passes the whole line to the program's parser. Tests use
// this because Wine builds a command line from Unix arguments by its own
// quoting rules, which cannot express every line. --env and --unset change
// the environment that the program inherits (Wine sets some variables, such
// as COMSPEC, itself, whatever the Unix environment says).
//
// Prints the new process's id on the first line of stdout. Waits for the
// program and returns its exit code.
// With --suspended the program is created suspended and only resumed when a
// line (or the end) arrives on stdin, so that a test can prepare things that
// depend on the process id before the program runs.
// Returns 120 when the program cannot be started, 121 on bad arguments.
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/win/unique_handle.h"

int wmain(int argc, wchar_t** argv) {
  bool suspended = false;
  const wchar_t* cwd = nullptr;
  int i = 1;
  for (; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg == L"--suspended") {
      suspended = true;
    } else if (arg == L"--cwd" && i + 1 < argc) {
      cwd = argv[++i];
    } else if (arg == L"--env" && i + 1 < argc) {
      std::wstring assignment = argv[++i];
      std::size_t equals = assignment.find(L'=');
      if (equals == std::wstring::npos || equals == 0) return 121;
      SetEnvironmentVariableW(assignment.substr(0, equals).c_str(), assignment.substr(equals + 1).c_str());
    } else if (arg == L"--unset" && i + 1 < argc) {
      SetEnvironmentVariableW(argv[++i], nullptr);
    } else {
      break;
    }
  }
  if (argc - i != 2) {
    std::fprintf(stderr, "usage: tvn_spawn.exe [--cwd DIR] [--suspended] [--env N=V] [--unset N] PROGRAM TAIL\n");
    return 121;
  }
  const std::wstring program = argv[i];
  std::wstring line = L"\"" + program + L"\"" + argv[i + 1];

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, suspended ? CREATE_SUSPENDED : 0, nullptr,
                      cwd, &startup, &info)) {
    std::fprintf(stderr, "CreateProcessW failed: %lu\n", GetLastError());
    return 120;
  }
  const tvn::UniqueHandleKernel process(info.hProcess);
  const tvn::UniqueHandleKernel thread(info.hThread);
  std::printf("%lu\n", info.dwProcessId);
  std::fflush(stdout);
  if (suspended) {
    char go[16];
    DWORD read = 0;
    ReadFile(GetStdHandle(STD_INPUT_HANDLE), go, sizeof(go), &read, nullptr);  // a line, or the end
    ResumeThread(thread.get());
  }
  DWORD code = 0;
  WaitForSingleObject(process.get(), INFINITE);
  GetExitCodeProcess(process.get(), &code);
  return static_cast<int>(code);
}
