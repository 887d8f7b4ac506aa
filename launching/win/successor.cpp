#include "launching/win/successor.h"

#include "base/win/unique_handle.h"

namespace tvn {

namespace {

constexpr DWORD kPollMs = 20;

// Main thread only: the dialogs note the copy, the sequence awaits it.
DWORD g_successorId = 0;
UniqueHandleKernel g_successor;  // held so that the identifier cannot be reused meanwhile

struct DialogSearch {
  DWORD processId;
  bool found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<DialogSearch*>(parameter);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId != search->processId || !IsWindowVisible(window)) return TRUE;
  if ((GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0) return TRUE;  // the splash
  search->found = true;
  return FALSE;
}

}  // namespace

void NoteSuccessor(DWORD processId, HANDLE process) noexcept {
  const DWORD saved = GetLastError();
  g_successorId = processId;
  // Another account's process may not open for us: then only the windows
  // and the time limit end the wait.
  if (process == nullptr && processId != 0) process = OpenProcess(SYNCHRONIZE, FALSE, processId);
  g_successor.reset(process);
  SetLastError(saved);
}

void AwaitSuccessorDialog(DWORD limitMs) noexcept {
  if (g_successorId == 0) return;
  const DWORD saved = GetLastError();
  const DWORD start = GetTickCount();
  for (;;) {
    DialogSearch search = {g_successorId, false};
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
    const DWORD elapsed = GetTickCount() - start;
    if (search.found || elapsed >= limitMs) break;
    const DWORD pause = limitMs - elapsed < kPollMs ? limitMs - elapsed : kPollMs;
    if (g_successor) {
      if (WaitForSingleObject(g_successor.get(), pause) != WAIT_TIMEOUT) break;  // ended (or cannot be waited for)
    } else {
      Sleep(pause);
    }
  }
  g_successor.reset();
  g_successorId = 0;
  SetLastError(saved);
}

}  // namespace tvn
