#include "launcher/win/splash.h"

#include "description/records.h"
#include "description/win/description.h"
#include "launcher/win/startup_trace.h"
#include "launcher/win/wide.h"
#include "resources/resource.h"

namespace tvn {

namespace {

// What the splash thread hands its dialog procedure.
struct SplashThreadState {
  std::atomic<HWND>* window;
  HANDLE initialised;
  const SplashDescription* description;
};

void ApplyControl(HWND dialog, int id, const ControlDescription& control) {
  HWND item = GetDlgItem(dialog, id);
  if (item == nullptr) return;
  if (control.icon != 0) SendMessageW(item, STM_SETICON, static_cast<WPARAM>(control.icon), 0);
  if (control.font != 0) SendMessageW(item, WM_SETFONT, static_cast<WPARAM>(control.font), TRUE);
  if (control.text.allocated()) SendMessageW(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(W(control.text.text())));
  EnableWindow(item, control.enabled ? TRUE : FALSE);
}

}  // namespace

bool SplashWindow::Start() noexcept {
  bool started = false;
  if (!thread_) {
    initialised_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    thread_.reset(CreateThread(nullptr, 0, &SplashWindow::ThreadMain, this, 0, &threadId_));
    started = static_cast<bool>(thread_);
    if (!started) threadId_ = 0;
  }
  Sleep(pause_);
  return started;
}

void SplashWindow::Close() noexcept {
  if (thread_ && window() == nullptr && initialised_) {
    // Serve messages sent to this thread meanwhile, so that a dialog that
    // talks to windows of this thread while it is being made cannot stall.
    const DWORD start = GetTickCount();
    HANDLE waitFor[2] = {initialised_.get(), thread_.get()};
    for (;;) {
      const DWORD elapsed = GetTickCount() - start;
      if (elapsed >= kInitWaitMs) break;
      DWORD result = MsgWaitForMultipleObjects(2, waitFor, FALSE, kInitWaitMs - elapsed, QS_SENDMESSAGE);
      if (result != WAIT_OBJECT_0 + 2) break;
      MSG message;
      PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
  }
  HWND dialog = window();
  if (dialog != nullptr) SendMessageW(dialog, WM_CLOSE, 0, 0);
  thread_.reset();
  Sleep(pause_);
}

DWORD WINAPI SplashWindow::ThreadMain(void* parameter) {
  TracePhase("splash-started");
  auto* self = static_cast<SplashWindow*>(parameter);
  // Everything the thread needs after its dialog has ended is its own: the
  // SplashWindow may be gone by then.
  HANDLE initialised = nullptr;
  if (self->initialised_) {
    DuplicateHandle(GetCurrentProcess(), self->initialised_.get(), GetCurrentProcess(), &initialised, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
  }
  UniqueHandleKernel initialisedOwner(initialised);

  // The splash description is fixed: its load reads nothing from the registry.
  UiDescription ui;
  LoadDescription(ui, kLoadSplash, TextView());

  SplashThreadState state{&self->window_, initialised, &ui.splash};
  INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SPLASH), nullptr,
                                   &SplashWindow::DialogProc, reinterpret_cast<LPARAM>(&state));
  if (result == -1 && initialised != nullptr) SetEvent(initialised);  // no dialog: nobody waits for it

  ReleaseDescription(ui, kLoadSplash);
  return 0;
}

INT_PTR CALLBACK SplashWindow::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* state = reinterpret_cast<const SplashThreadState*>(lParam);
      const SplashDescription& d = *state->description;
      state->window->store(dialog, std::memory_order_release);
      SendMessageW(dialog, WM_SETICON, ICON_SMALL, static_cast<LPARAM>(d.window.icon));
      SendMessageW(dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(W(d.window.text.text())));
      ApplyControl(dialog, IDC_SPLASH_ICON, d.picture);
      ApplyControl(dialog, IDC_SPLASH_TEXT, d.text);
      if (state->initialised != nullptr) SetEvent(state->initialised);
      return TRUE;  // the system sets the default focus
    }
    case WM_SHOWWINDOW:
      if (wParam) TracePhase("splash-shown");
      return FALSE;
    case WM_CLOSE:
      EndDialog(dialog, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace tvn
