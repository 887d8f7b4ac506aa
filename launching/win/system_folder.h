// The system folder, and the library search path of the process.
#pragma once

#include <windows.h>

#include "base/text.h"
#include "base/win/system_search.h"  // SystemFolder

namespace tvn {

// Takes the current directory out of the search path of LoadLibrary:
// SetDllDirectoryW with the system folder, which puts that (already searched)
// folder in the current directory's place. The function is looked up in
// kernel32 at run time: Windows 2000 and XP before SP1 lack it, and there the
// call does nothing. True when the search path was changed. Keeps the last
// error as it was.
bool RemoveCurrentDirectoryFromLibrarySearch() noexcept;

}  // namespace tvn
