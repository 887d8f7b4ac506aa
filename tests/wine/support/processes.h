// Starting a program from a Windows-side test and waiting for its end.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tvn_test {

struct ProgramOptions {
  // The program's current directory; null: this process's.
  const wchar_t* directory = nullptr;
  // A UTF-16 environment block (each "NAME=value" ended by a zero, the block
  // by one more); empty: this process's environment.
  std::vector<wchar_t> environment;
  // Where its standard output and standard error go (an inheritable handle);
  // null: nowhere special.
  HANDLE output = nullptr;
  // The show state handed over in its start-up record; -1: none.
  int show = -1;
  DWORD creationFlags = 0;
  // Serve this thread's messages while waiting: needed when the program sends
  // messages to windows of this thread.
  bool pumpMessages = false;
  // A program still running then is ended with exit code 99.
  DWORD timeoutMs = 20000;
};

struct ProgramRun {
  bool started = false;
  bool ended = false;  // by itself, within the time
  DWORD exitCode = 0xFFFFFFFF;
  DWORD startError = 0;  // CreateProcessW's code when it did not start
};

// Starts `program` (null: the first word of the command line, found the
// system's way) with the whole command line `commandLine` and waits for it.
ProgramRun RunProgram(const wchar_t* program, std::wstring commandLine, const ProgramOptions& options);

// This process's environment without the variable `name`, as a block for
// ProgramOptions::environment, with `extra` ("NAME=value" entries) added.
std::vector<wchar_t> EnvironmentWithout(const wchar_t* name, const std::vector<std::wstring>& extra);

}  // namespace tvn_test
