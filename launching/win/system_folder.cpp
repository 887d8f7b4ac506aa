#include "launching/win/system_folder.h"

#include <cstdint>

#include "base/win/wide.h"

namespace tvn {

Text SystemFolder() {
  Text buffer(kPathUnits, u'\0');
  SetLastError(0);
  const UINT length = GetSystemDirectoryW(W(buffer), static_cast<UINT>(kPathUnits));
  if (length == 0 || length >= kPathUnits) {
    const DWORD code = GetLastError();
    SetLastError(code != 0 ? code : static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    return Text();
  }
  buffer.resize(length);
  SetLastError(0);
  return buffer;
}

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
