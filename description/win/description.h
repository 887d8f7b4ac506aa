// Loading and releasing description sections from the registry with the
// platform's icons and fonts.
#pragma once

#include "description/loader.h"
#include "description/records.h"

namespace tvn {

// Load(mode) against HKEY_CURRENT_USER\subKey. Leaves the thread's last-error
// code 0 on success, or the failing open's status.
bool LoadDescription(UiDescription& ui, LoadMode mode, TextView subKey);

// Release(mode): destroys the section's icons and fonts and frees its texts.
// The thread's last-error code is left as it was.
void ReleaseDescription(UiDescription& ui, LoadMode mode);

}  // namespace tvn
