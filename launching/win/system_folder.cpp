#include "launching/win/system_folder.h"

#include <cstdint>

#include "base/win/wide.h"

namespace tvn {

bool RemoveCurrentDirectoryFromLibrarySearch() noexcept {
  using SetDllDirectoryWFn = BOOL(WINAPI*)(LPCWSTR);
  const DWORD saved = GetLastError();
  // kernel32 is always loaded: this finds the loaded module, it searches nothing.
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  FARPROC entry = kernel != nullptr ? GetProcAddress(kernel, "SetDllDirectoryW") : nullptr;
  bool changed = false;
  if (entry != nullptr) {
    // Any directory given here takes the current directory's place in the
    // search order. The system folder, which is searched anyway, works
    // everywhere; the empty text means the same on Windows, but Wine reads it
    // as "no directory set" and keeps searching the current one.
    const Text folder = SystemFolder();
    const auto address = reinterpret_cast<std::uintptr_t>(entry);
    changed = reinterpret_cast<SetDllDirectoryWFn>(address)(folder.empty() ? L"" : W(folder)) != FALSE;
  }
  SetLastError(saved);
  return changed;
}

}  // namespace tvn
