// The copy of the tool that takes over from this one (Refresh, Authorization,
// Log on): this process runs its clean-up only once that copy shows its
// dialog, so that the clean-up's script run does not compete with the new
// copy's describing run for the machine.
#pragma once

#include <windows.h>

namespace tvn {

// Remembers the copy started to take over (by its process id; a later call
// replaces an earlier one). `process`, when given, is that copy's handle and
// is owned from here on; otherwise the copy is opened by its id. Keeps the
// thread's last-error code.
void NoteSuccessor(DWORD processId, HANDLE process = nullptr) noexcept;

// Returns once the noted copy shows a dialog (a visible window that is not a
// tool window such as its splash), has ended, or `limitMs` milliseconds have
// passed; at once when no copy was noted. A copy that hands over to another
// one in turn (the command-mode copy that restarts itself with full rights)
// ends the wait by its end. Keeps the thread's last-error code.
void AwaitSuccessorDialog(DWORD limitMs) noexcept;

}  // namespace tvn
