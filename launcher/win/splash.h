// The start-up splash: a small tool window with an icon and "Please wait.
// Loading...", run by a thread of its own so that it keeps painting while the
// main thread is blocked in the script runs.
#pragma once

#include <windows.h>

#include <atomic>

#include "base/win/unique_handle.h"

namespace tvn {

class SplashWindow {
 public:
  // `pauseMs`: milliseconds slept after starting and after closing.
  explicit SplashWindow(DWORD pauseMs) noexcept : pause_(pauseMs) {}
  SplashWindow(const SplashWindow&) = delete;
  SplashWindow& operator=(const SplashWindow&) = delete;
  ~SplashWindow() = default;

  // Creates the splash thread, which shows dialog template 400 modally, then
  // sleeps for the pause. True when the thread was created. A second Start
  // creates nothing and returns false.
  bool Start() noexcept;

  // Ends the splash: sends WM_CLOSE to its window, closes the thread handle
  // without waiting for the thread, then sleeps for the pause. If the thread
  // runs but its dialog has not initialised yet, waits for that first (at
  // most kInitWaitMs), so that the splash never outlives its Close. Without a
  // started thread only the pause is slept.
  void Close() noexcept;

  // Waits until the splash dialog is on the screen (at most kInitWaitMs from
  // the call), or its thread has ended without one. The splash takes the
  // foreground when it appears: a message box meant to stand in front of it
  // waits for this first. Does nothing without a started thread; keeps the
  // last error.
  void WaitUntilShown() noexcept;

  // The splash dialog, or none until the splash thread has initialised it.
  HWND window() const noexcept { return window_.load(std::memory_order_acquire); }
  DWORD threadId() const noexcept { return threadId_; }

  static constexpr DWORD kInitWaitMs = 10000;

 private:
  // Waits for the initialised event or the thread's end until `start` +
  // kInitWaitMs, serving messages sent to this thread meanwhile.
  void WaitForInitialisation(DWORD start) noexcept;
  static DWORD WINAPI ThreadMain(void* parameter);
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

  // Written by the splash thread in WM_INITDIALOG, read by the main thread.
  std::atomic<HWND> window_{nullptr};
  DWORD threadId_ = 0;
  UniqueHandleKernel thread_;
  UniqueHandleKernel initialised_;  // set when the dialog is up or could not be made
  DWORD pause_;
};

}  // namespace tvn
