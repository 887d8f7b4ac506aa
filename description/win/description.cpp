#include "description/win/description.h"

#include <windows.h>

#include "description/win/handle_factory.h"
#include "description/win/registry_source.h"

namespace tvn {

bool LoadDescription(UiDescription& ui, LoadMode mode, TextView subKey) {
  RegistrySource source;
  WindowsHandleFactory factory;
  std::uint32_t lastError = ERROR_SUCCESS;
  bool ok = Load(ui, mode, subKey, source, factory, lastError);
  SetLastError(lastError);
  return ok;
}

void ReleaseDescription(UiDescription& ui, LoadMode mode) {
  DWORD saved = GetLastError();
  WindowsHandleFactory factory;
  Release(ui, mode, factory);
  SetLastError(saved);
}

}  // namespace tvn
