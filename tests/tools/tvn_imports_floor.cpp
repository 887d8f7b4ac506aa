// tvn_imports_floor.exe: the floor of a program that imports what TVN.exe
// imports, for the start-up benchmark. It imports the same system libraries
// (user32, gdi32, comctl32, shell32, ole32, advapi32), carries TVN.exe's
// manifest (common controls 6.0), initialises COM and the common controls as
// every start of TVN.exe does, and ends at once with exit code 0 (1 when an
// initialisation failed). Its start-to-exit time is what any program with
// these libraries pays before its own work begins.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include "base/win/unique_handle.h"

namespace {

// One entry of each library, referenced so that the library is imported, and
// never called.
const void* volatile g_imported[] = {
    reinterpret_cast<const void*>(&ExtractIconW),         // shell32
    reinterpret_cast<const void*>(&CreateFontIndirectW),  // gdi32
    reinterpret_cast<const void*>(&RegOpenKeyExW),        // advapi32
    reinterpret_cast<const void*>(&DialogBoxParamW),      // user32
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (g_imported[0] == nullptr) return 1;
  const tvn::ComInitialization com;
  if (FAILED(com.result())) return 1;
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
  return InitCommonControlsEx(&controls) != FALSE ? 0 : 1;
}
