#include "tests/wine/support/dialog_driver.h"

#include <memory>
#include <utility>

#include "tests/wine/support/windows.h"

namespace tvn_test {

namespace {

constexpr UINT kTickMs = 30;

}  // namespace

DialogDriver* DialogDriver::current_ = nullptr;

DialogDriver::DialogDriver(std::vector<Step> steps, Options options)
    : steps_(std::move(steps)), options_(std::move(options)), deadline_(GetTickCount64() + options_.timeoutMs) {
  current_ = this;
  timer_ = SetTimer(nullptr, 0, kTickMs, &DialogDriver::OnTimer);
}

DialogDriver::~DialogDriver() {
  KillTimer(nullptr, timer_);
  current_ = nullptr;
}

DialogDriver::Result DialogDriver::Run(const std::function<INT_PTR()>& open, std::vector<Step> steps, Options options) {
  DialogDriver driver(std::move(steps), std::move(options));
  Result result;
  result.dialogResult = open();
  result.stepCount = driver.steps_.size();
  result.stepsDone = driver.next_;
  result.finished = driver.next_ >= driver.steps_.size();
  result.timedOut = driver.timedOut_;
  return result;
}

void CALLBACK DialogDriver::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (current_ != nullptr) current_->Tick();
}

void DialogDriver::Tick() {
  if (GetTickCount64() > deadline_) {
    timedOut_ = true;
    CloseEverything();
    return;
  }
  if (closing_ || next_ >= steps_.size()) return;
  HWND dialog = nullptr;
  if (options_.find) {
    dialog = options_.find();
    if (dialog == nullptr) return;
  }
  // The index moves on before the step runs: a step that opens a nested modal
  // loop lets the following steps run inside it.
  const std::size_t i = next_;
  next_ = i + 1;
  if (!steps_[i](dialog) && next_ == i + 1) next_ = i;
  if (next_ >= steps_.size() && options_.closeAfterLastStep && !closing_) {
    closing_ = true;
    if (options_.find) dialog = options_.find();
    if (dialog != nullptr) PostMessageW(dialog, WM_CLOSE, 0, 0);
  }
}

// Ends popup menus, answers message boxes and closes every other window of
// this thread (file dialogs included).
void DialogDriver::CloseEverything() {
  EndMenu();
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM) CALLBACK -> BOOL {
        if (GetDlgItem(window, kMessageBoxTextId) != nullptr) {
          PostMessageW(window, WM_COMMAND, IDOK, 0);
        } else {
          PostMessageW(window, WM_CLOSE, 0, 0);
        }
        return TRUE;
      },
      0);
}

INT_PTR RunTemplate(int templateId, DLGPROC procedure, LPARAM parameter) {
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), nullptr, procedure, parameter);
}

DialogDriver::Step Do(std::function<void(HWND dialog)> action) {
  return [action](HWND dialog) {
    action(dialog);
    return true;
  };
}

DialogDriver::Step Pause(DWORD ms) {
  auto start = std::make_shared<ULONGLONG>(0);
  return [start, ms](HWND) {
    if (*start == 0) *start = GetTickCount64();
    return GetTickCount64() - *start >= ms;
  };
}

DialogDriver::Step AnswerMessageBox(std::wstring* text) {
  return [text](HWND) {
    HWND box = FindThreadMessageBox();
    if (box == nullptr) return false;
    *text = MessageBoxText(box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return true;
  };
}

DialogDriver::Step NoMessageBox() {
  return [](HWND) { return FindThreadMessageBox() == nullptr; };
}

BoxAnswerer::BoxAnswerer()
    : thread_([this] {
        while (!done_.load()) {
          HWND box = FindProcessMessageBox();
          if (box != nullptr) {
            text_ = MessageBoxText(box);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            return;
          }
          Sleep(20);
        }
      }) {}

BoxAnswerer::~BoxAnswerer() { Finish(); }

std::wstring BoxAnswerer::Finish() {
  done_ = true;
  if (thread_.joinable()) thread_.join();
  return text_;
}

}  // namespace tvn_test
