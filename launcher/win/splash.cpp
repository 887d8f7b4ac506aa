#include "launcher/win/splash.h"

#include <atomic>
#include <new>

#include "base/win/startup_trace.h"
#include "base/win/wide.h"
#include "description/records.h"
#include "description/win/description.h"
#include "dialogs/win/dialog_base.h"
#include "resources/resource.h"

namespace tvn {

// The hand-over between the main thread and the splash thread. The splash
// thread publishes its window, then looks at `closed`; Close sets `closed`,
// then looks at the window. Both are sequentially consistent, so at least one
// side sees the other's store and the splash ends either way, without any
// wait. The block is counted: it outlives the SplashWindow, whose owner may
// leave the entry (and end the process) while the splash is still being made.
struct SplashShared {
  std::atomic<HWND> window{nullptr};
  std::atomic<bool> closed{false};
  std::atomic<int> references{1};
  // Set once the dialog is made, or once the thread knows it makes none.
  UniqueHandleKernel initialised;
};

namespace {

void ReleaseShared(SplashShared* shared) {
  if (shared != nullptr && --shared->references == 0) delete shared;
}

void ApplyControl(HWND dialog, int id, const ControlDescription& control) {
  HWND item = GetDlgItem(dialog, id);
  if (item == nullptr) return;
  if (control.icon != 0) SendMessageW(item, STM_SETICON, static_cast<WPARAM>(control.icon), 0);
  if (control.font != 0) SendMessageW(item, WM_SETFONT, static_cast<WPARAM>(control.font), TRUE);
  if (control.text.allocated()) SendMessageW(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(W(control.text.text())));
  EnableWindow(item, control.enabled ? TRUE : FALSE);
}

void MarkInitialised(SplashShared* shared) {
  if (shared->initialised) SetEvent(shared->initialised.get());
}

// The splash dialog of the splash thread: it shows its fixed description,
// publishes its window and marks the shared block initialised once it is
// made. A splash closed while it was being made ends before it is shown.
class SplashDialog final : public DialogBase {
 public:
  SplashDialog(SplashShared& shared, const SplashDescription& description)
      : shared_(shared), description_(description) {}

 protected:
  INT_PTR OnInit() override {
    HWND dialog = window();
    const SplashDescription& d = description_;
    shared_.window.store(dialog);
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, static_cast<LPARAM>(d.window.icon));
    SendMessageW(dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(W(d.window.text.text())));
    ApplyControl(dialog, IDC_SPLASH_ICON, d.picture);
    ApplyControl(dialog, IDC_SPLASH_TEXT, d.text);
    if (shared_.closed.load()) EndDialog(dialog, 0);
    MarkInitialised(&shared_);
    return TRUE;  // the system sets the default focus
  }

  INT_PTR OnClose() override {
    EndDialog(window(), 0);
    return TRUE;
  }

  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/) override {
    if (message == WM_SHOWWINDOW && wParam) TracePhase("splash-shown");
    return FALSE;
  }

 private:
  SplashShared& shared_;
  const SplashDescription& description_;
};

}  // namespace

SplashWindow::~SplashWindow() { ReleaseShared(shared_); }

HWND SplashWindow::window() const noexcept { return shared_ != nullptr ? shared_->window.load() : nullptr; }

bool SplashWindow::Start() noexcept {
  bool started = false;
  if (!thread_ && shared_ == nullptr) {
    shared_ = new (std::nothrow) SplashShared;
    if (shared_ != nullptr) shared_->initialised.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  }
  if (!thread_ && shared_ != nullptr) {
    ++shared_->references;  // the splash thread's
    thread_.reset(CreateThread(nullptr, 0, &SplashWindow::ThreadMain, shared_, 0, &threadId_));
    started = static_cast<bool>(thread_);
    if (!started) {
      --shared_->references;
      threadId_ = 0;
    }
  }
  Sleep(pause_);
  return started;
}

void SplashWindow::WaitUntilShown() noexcept {
  if (!thread_ || shared_ == nullptr || !shared_->initialised) return;
  const DWORD saved = GetLastError();
  const DWORD start = GetTickCount();
  // Serve messages sent to this thread meanwhile, so that a dialog that
  // talks to windows of this thread while it is being made cannot stall.
  HANDLE waitFor[2] = {shared_->initialised.get(), thread_.get()};
  while (window() == nullptr) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= kInitWaitMs) break;
    DWORD result = MsgWaitForMultipleObjects(2, waitFor, FALSE, kInitWaitMs - elapsed, QS_SENDMESSAGE);
    if (result != WAIT_OBJECT_0 + 2) break;
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  // A modal dialog is shown only after its initialisation.
  for (;;) {
    HWND dialog = window();
    if (dialog == nullptr || IsWindowVisible(dialog) || GetTickCount() - start >= kInitWaitMs) break;
    if (WaitForSingleObject(thread_.get(), 10) != WAIT_TIMEOUT) break;
  }
  SetLastError(saved);
}

void SplashWindow::Close() noexcept {
  if (thread_) {
    shared_->closed.store(true);
    HWND dialog = shared_->window.load();
    // A splash still being made sees `closed` and ends itself.
    if (dialog != nullptr) SendMessageW(dialog, WM_CLOSE, 0, 0);
  }
  thread_.reset();
  Sleep(pause_);
}

DWORD WINAPI SplashWindow::ThreadMain(void* parameter) {
  TracePhase("splash-started");
  auto* shared = static_cast<SplashShared*>(parameter);
  // A splash closed before it was made is not made at all.
  if (!shared->closed.load()) {
    // The splash description is fixed: its load reads nothing from the registry.
    UiDescription ui;
    LoadDescription(ui, kLoadSplash, TextView());
    SplashDialog dialog(*shared, ui.splash);
    dialog.RunModal(GetModuleHandleW(nullptr), IDD_SPLASH, nullptr);
    ReleaseDescription(ui, kLoadSplash);
  }
  MarkInitialised(shared);  // no dialog (any more): nobody waits for it
  ReleaseShared(shared);
  return 0;
}

}  // namespace tvn
