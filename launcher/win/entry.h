// The program's entry: application context, system checks, splash, COM and
// common controls, command line, dispatch, shut-down.
#pragma once

#include <windows.h>

#include "base/text.h"

namespace tvn {

// Runs one whole pass of the tool for the given full command line (the
// program name still in front). Always returns 0.
int RunEntry(HINSTANCE instance, const wchar_t* fullCommandLine);

// True when the path lies on a network share or a remote drive. Always leaves
// the thread's last error at 0.
bool IsNetworkPath(const wchar_t* path);

}  // namespace tvn
