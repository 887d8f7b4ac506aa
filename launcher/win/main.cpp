#include <windows.h>

#include "launcher/win/entry.h"

// The start-up code's own cut of the command line is not used: the entry
// removes the program name itself, by the documented rule, from the full line.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return tvn::RunEntry(instance, GetCommandLineW()); }
