// Drives a modal dialog of this thread from inside its own message loop.
//
// A thread timer runs the test's steps in turn while the dialog's loop (and
// the loops of its popup menus, message boxes and file dialogs) dispatch it.
// A step returns true when it is done and false to be run again at the next
// tick. A step may open a nested modal loop (a message box); the following
// steps then run inside it. When the time is up every window of the thread is
// closed, so that a stuck test cannot hang.
//
// And from another thread: BoxAnswerer answers the first message box of this
// process, for code that shows one while it runs on the test's thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace tvn_test {

class DialogDriver {
 public:
  // Gets the dialog that `Options::find` found, or null without a finder.
  using Step = std::function<bool(HWND dialog)>;

  struct Options {
    // The dialog the steps act on, looked up at each tick; the steps wait
    // until it exists. Without a finder the steps run at every tick.
    std::function<HWND()> find;
    // Post WM_CLOSE to the dialog once the last step is done.
    bool closeAfterLastStep = false;
    DWORD timeoutMs = 30000;
  };

  struct Result {
    INT_PTR dialogResult = -1;
    bool finished = false;  // every step was done
    bool timedOut = false;
    std::size_t stepsDone = 0;
    std::size_t stepCount = 0;
  };

  // Runs `open`, which shows a modal dialog on this thread and returns its
  // result when it has ended, while the steps are driven.
  static Result Run(const std::function<INT_PTR()>& open, std::vector<Step> steps, Options options);
  static Result Run(const std::function<INT_PTR()>& open, std::vector<Step> steps) {
    return Run(open, std::move(steps), Options());
  }

 private:
  DialogDriver(std::vector<Step> steps, Options options);
  ~DialogDriver();
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
  void Tick();
  static void CloseEverything();

  static DialogDriver* current_;
  std::vector<Step> steps_;
  Options options_;
  std::size_t next_ = 0;
  ULONGLONG deadline_ = 0;
  bool timedOut_ = false;
  bool closing_ = false;
  UINT_PTR timer_ = 0;
};

// A dialog from a template of this executable, run modally without an owner.
INT_PTR RunTemplate(int templateId, DLGPROC procedure, LPARAM parameter);

// A step that only acts.
DialogDriver::Step Do(std::function<void(HWND dialog)> action);
// A step that waits `ms` milliseconds from its first call.
DialogDriver::Step Pause(DWORD ms);
// A step that waits for this thread's message box, keeps its text in `text`
// and answers it with OK.
DialogDriver::Step AnswerMessageBox(std::wstring* text);
// A step that waits until this thread shows no message box.
DialogDriver::Step NoMessageBox();

// Watches, on a thread of its own, for the first message box of this process,
// keeps its text and answers it with OK. Stops at destruction.
class BoxAnswerer {
 public:
  BoxAnswerer();
  ~BoxAnswerer();
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

  // Stops watching; the text of the box answered, or nothing.
  std::wstring Finish();

 private:
  std::atomic<bool> done_{false};
  std::wstring text_;
  std::thread thread_;
};

}  // namespace tvn_test
