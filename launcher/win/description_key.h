// Removing a description key that an earlier process left behind.
#pragma once

#include <windows.h>

#include "base/text.h"

namespace tvn {

// Deletes HKEY_CURRENT_USER\<keyName> with every value and every subkey, so
// that a key left by a process that died (killed, crashed, power lost) under
// the same identifier cannot mix into the description that is about to be
// written. Only a process's own description key ("Software\TVN\<digits>") is
// ever touched; anything else, Software\TVN itself included, is refused with
// ERROR_INVALID_PARAMETER. A subkey that is a registry link is deleted as the
// link itself; the key it names is never opened. A key that does not exist is
// no failure. True with last error 0 once the key can no longer be opened;
// false with the code of the call that failed, or ERROR_CANTWRITE when the
// key is still there after the walk (the key may then be partly deleted).
[[nodiscard]] bool DeleteDescriptionKey(const Text& keyName) noexcept;

}  // namespace tvn
