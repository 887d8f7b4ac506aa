// The start-up splash: a small tool window with an icon and "Please wait.
// Loading...", run by a thread of its own so that it keeps painting while the
// main thread is blocked in the script runs.
#pragma once

#include <windows.h>

#include "base/win/unique_handle.h"

namespace tvn {

// What the splash thread and the SplashWindow share (defined in splash.cpp).
struct SplashShared;

class SplashWindow {
 public:
  // `pauseMs`: milliseconds slept after starting and after closing.
  explicit SplashWindow(DWORD pauseMs) noexcept : pause_(pauseMs) {}
  SplashWindow(const SplashWindow&) = delete;
  SplashWindow& operator=(const SplashWindow&) = delete;
  ~SplashWindow();

  // Creates the splash thread, which shows dialog template 400 modally, then
  // sleeps for the pause. True when the thread was created. A second Start
  // creates nothing and returns false.
  bool Start() noexcept;

  // Ends the splash: sends WM_CLOSE to its window, closes the thread handle
  // without waiting for the thread, then sleeps for the pause. It never waits
  // for a splash that is still being made: it marks the splash closed, and a
  // splash thread that has not made its dialog yet makes none, or ends it in
  // WM_INITDIALOG before it is shown, so that the splash never outlives its
  // Close. Without a started thread only the pause is slept.
  void Close() noexcept;

  // Waits until the splash dialog is on the screen (at most kInitWaitMs from
  // the call), or its thread has ended without one. The splash takes the
  // foreground when it appears: a message box meant to stand in front of it
  // waits for this first. Does nothing without a started thread; keeps the
  // last error.
  void WaitUntilShown() noexcept;

  // The splash dialog, or none until the splash thread has initialised it.
  HWND window() const noexcept;
  DWORD threadId() const noexcept { return threadId_; }

  static constexpr DWORD kInitWaitMs = 10000;

 private:
  static DWORD WINAPI ThreadMain(void* parameter);

  SplashShared* shared_ = nullptr;  // one reference of this object's, once started
  DWORD threadId_ = 0;
  UniqueHandleKernel thread_;
  DWORD pause_;
};

}  // namespace tvn
