#include "dialogs/win/dialog_actions.h"

#include "base/win/error_box.h"
#include "base/win/wide.h"
#include "launching/win/process.h"
#include "launching/win/successor.h"

namespace tvn {

WaitCursor::WaitCursor() noexcept {
  const DWORD saved = GetLastError();
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  SetLastError(saved);
}

WaitCursor::~WaitCursor() {
  const DWORD saved = GetLastError();
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  SetLastError(saved);
}

bool StartCopyOrWarn(HWND dialog, const Text& exePath, const Text& tail, CopyRole role) {
  DWORD started = 0;
  if (StartProcess(W(exePath), W(tail), 0, false, &started)) {
    if (role == CopyRole::Successor) NoteSuccessor(started);
    SendMessageW(dialog, WM_CLOSE, 0, 0);
    return true;
  }
  const DWORD error = GetLastError();
  ShowError(dialog, kKindWarning, true, true, nullptr);
  SetLastError(error);
  return false;
}

}  // namespace tvn
