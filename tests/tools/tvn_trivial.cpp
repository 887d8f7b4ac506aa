// tvn_trivial.exe: a statically linked program that does nothing, for the
// start-up benchmark: its start-to-exit time is the floor of any program
// start under the platform (it loads no library beyond the run-time's own).
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
