// The wait for the copy that takes over (NoteSuccessor, AwaitSuccessorDialog)
// and the process identifier that StartProcess hands out for it, with real
// programs: tvn_bare_dialog.exe (shows TVN.exe's log-on dialog template) and
// tvn_record.exe (shows nothing and sleeps as long as it is told).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/win/unique_handle.h"
#include "launching/win/process.h"
#include "launching/win/successor.h"
#include "resources/resource.h"
#include "tests/wine/support/files.h"
#include "tests/wine/support/windows.h"

namespace {

using tvn_test::HaveDisplay;
using tvn_test::ModuleDir;

struct VisibleSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<VisibleSearch*>(parameter);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId != search->processId || !IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

HWND VisibleWindowOf(DWORD processId) {
  VisibleSearch search = {processId, nullptr};
  EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A started program, by the identifier StartProcess handed out; ended at the
// end of the test whatever happened.
class Started {
 public:
  Started(const std::wstring& program, const wchar_t* commandLine) {
    ok_ = tvn::StartProcess(program.c_str(), commandLine, 0, false, &id_);
    if (ok_) process_.reset(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id_));
  }
  ~Started() {
    if (!process_) return;
    if (WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), 10000);
  }
  Started(const Started&) = delete;
  Started& operator=(const Started&) = delete;

  bool ok() const { return ok_ && static_cast<bool>(process_); }
  DWORD id() const { return id_; }
  bool Running() const { return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

 private:
  bool ok_ = false;
  DWORD id_ = 0;
  tvn::UniqueHandleKernel process_;
};

TEST(Successor, StartProcessHandsOutTheIdentifier) {
  Started program(ModuleDir() + L"tvn_record.exe", L"tvn_record --sleep 2000");
  ASSERT_TRUE(program.ok()) << "OpenProcess on the identifier reaches the started program";
  EXPECT_NE(program.id(), GetCurrentProcessId());
  EXPECT_TRUE(program.Running());
}

TEST(Successor, WaitEndsWhenTheCopyShowsItsDialog) {
  if (!HaveDisplay()) GTEST_SKIP() << "needs a display";
  const std::wstring line = L"tvn_bare_dialog \"" + ModuleDir() + L"TVN.exe\" " + std::to_wstring(IDD_LOGON);
  Started copy(ModuleDir() + L"tvn_bare_dialog.exe", line.c_str());
  ASSERT_TRUE(copy.ok());
  tvn::NoteSuccessor(copy.id());
  SetLastError(1234);
  tvn::AwaitSuccessorDialog(60000);
  EXPECT_EQ(GetLastError(), 1234u) << "the last-error code is kept";
  // Not the time limit (a minute) nor the end of the copy: its dialog.
  EXPECT_TRUE(copy.Running());
  EXPECT_NE(VisibleWindowOf(copy.id()), nullptr);
}

TEST(Successor, WaitEndsWhenTheCopyEnds) {
  Started copy(ModuleDir() + L"tvn_record.exe", L"tvn_record --sleep 300");
  ASSERT_TRUE(copy.ok());
  tvn::NoteSuccessor(copy.id());
  tvn::AwaitSuccessorDialog(60000);
  EXPECT_FALSE(copy.Running()) << "a copy that shows nothing: the wait ends with it";
}

TEST(Successor, WaitEndsAtTheLimit) {
  Started copy(ModuleDir() + L"tvn_record.exe", L"tvn_record --sleep 60000");
  ASSERT_TRUE(copy.ok());
  tvn::NoteSuccessor(copy.id());
  tvn::AwaitSuccessorDialog(200);
  EXPECT_TRUE(copy.Running()) << "the wait gave up before the copy ended";
}

TEST(Successor, NothingNotedOrAlreadyAwaitedMeansNoWait) {
  // A copy that would run for a minute, noted and awaited once with a short
  // limit: the second wait, with a long limit, has nothing to wait for any more.
  Started copy(ModuleDir() + L"tvn_record.exe", L"tvn_record --sleep 60000");
  ASSERT_TRUE(copy.ok());
  tvn::NoteSuccessor(copy.id());
  tvn::AwaitSuccessorDialog(100);
  tvn::AwaitSuccessorDialog(600000);
  EXPECT_TRUE(copy.Running());
}

}  // namespace
