// The current directory of another process (--process-cwd).
#pragma once

#include <windows.h>

#include <string>

namespace tvn_inspect {

// Read from the process parameters that its PEB names; false with a reason
// in `error` when the process or its memory cannot be read.
bool ProcessCurrentDirectory(DWORD pid, std::wstring* directory, std::string* error);
// Prints {"pid":N,"cwd":"..."} (exit code 0) or {"pid":N,"cwd":null,"error":"..."}
// (1); 2 for a process id that does not parse.
int PrintProcessCurrentDirectory(const wchar_t* pidText);

}  // namespace tvn_inspect
