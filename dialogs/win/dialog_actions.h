// Small steps that several dialogs take the same way.
#pragma once

#include <windows.h>

#include "base/text.h"

namespace tvn {

// Shows the wait cursor while it lives and the arrow when it goes, keeping
// the thread's last error as it was at that moment.
class WaitCursor {
 public:
  WaitCursor() noexcept;
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

// Starts a new copy of the tool, `exePath` with the command-line tail `tail`
// (such as " c", the command dialog), without waiting for it. When it started, `dialog` is closed
// (WM_CLOSE) and the result is true; otherwise the warning box with the
// system's reason is shown over `dialog`, which stays open, and the result is
// false with the start's error as the last error.
bool StartCopyOrWarn(HWND dialog, const Text& exePath, const Text& tail);

}  // namespace tvn
