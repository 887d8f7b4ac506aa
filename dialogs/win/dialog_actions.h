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

// How a copy started by StartCopyOrWarn relates to this one.
enum class CopyRole {
  Successor,  // takes over: this process's clean-up waits until it shows its dialog
  Companion,  // runs beside this one (diagnostics): nothing waits for it
};

// Starts a new copy of the tool, `exePath` with the command-line tail `tail`
// (such as " c", the command dialog), without waiting for it. When it
// started, a successor is noted, `dialog` is closed (WM_CLOSE) and the result
// is true; otherwise the warning box with the system's reason is shown over
// `dialog`, which stays open, and the result is false with the start's error
// as the last error.
bool StartCopyOrWarn(HWND dialog, const Text& exePath, const Text& tail, CopyRole role = CopyRole::Successor);

}  // namespace tvn
