// Starting programs (StartProcess, ShellRun) and BringToForeground, checked
// with tvn_record.exe, which writes one JSON line per start (program, argv,
// working directory, show state) into the file named by TVN_RECORD_FILE.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/win/unique_handle.h"
#include "launching/win/process.h"
#include "tests/wine/support/files.h"
#include "tests/wine/support/records.h"
#include "tests/wine/support/windows.h"

namespace {

using tvn_test::EnvironmentVariable;
using tvn_test::Exists;
using tvn_test::Record;
using tvn_test::RecorderPath;
using tvn_test::SamePath;
using tvn_test::ScopedCurrentDirectory;
using tvn_test::ScopedEnvironment;
using tvn_test::SystemFolder;

// A private folder whose name holds blanks, and a record file in it that the
// started programs inherit through TVN_RECORD_FILE.
class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Exists(RecorderPath())) GTEST_SKIP() << "tvn_record.exe is not built next to the test program";
    folder_.reset(new tvn_test::TempFolder(L"launch process"));
    ASSERT_TRUE(folder_->created());
    records_.reset(new tvn_test::RecordFile(*folder_ / L"record.jsonl"));
  }
  void TearDown() override {
    // The record file goes before its folder, which waits for started copies
    // of the recorder to end before it removes them.
    records_.reset();
    folder_.reset();
  }

  std::vector<Record> Records() const { return records_->Records(); }
  // Waits (at most 10 s) until the record file holds `count` lines.
  std::vector<Record> WaitForRecords(std::size_t count) const { return records_->WaitFor(count); }
  const std::wstring& folder() const { return folder_->path(); }

  std::unique_ptr<tvn_test::TempFolder> folder_;
  std::unique_ptr<tvn_test::RecordFile> records_;
};

TEST_F(ProcessTest, StartProcessWithWaitReturnsAfterTheProgramEnded) {
  const std::wstring recorder = RecorderPath();
  const DWORD before = GetTickCount();
  SetLastError(0xdeadbeef);
  // A literal command line: the helper must hand CreateProcessW a copy.
  ASSERT_TRUE(tvn::StartProcess(recorder.c_str(), L"tvn_record --sleep 1500 --exit 7", 0, true));
  const DWORD elapsed = GetTickCount() - before;
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_GE(elapsed, 1400u);
  std::vector<Record> records = Records();
  ASSERT_EQ(records.size(), 2u) << "both the start and the end line are written before the call returns";
  EXPECT_EQ(records[0].Text("event"), L"start");
  EXPECT_EQ(records[1].Text("event"), L"end");
  EXPECT_EQ(records[0].List("argv"), (std::vector<std::wstring>{L"--sleep", L"1500", L"--exit", L"7"}));
}

TEST_F(ProcessTest, StartProcessWithoutWaitReturnsAtOnce) {
  const std::wstring recorder = RecorderPath();
  ASSERT_TRUE(tvn::StartProcess(recorder.c_str(), L"tvn_record --sleep 1500", 0, false));
  EXPECT_EQ(GetLastError(), 0u);
  // Had it waited, the program's end line (written after its 1.5 s sleep)
  // would already be there.
  for (const Record& record : Records()) EXPECT_NE(record.Text("event"), L"end");
  std::vector<Record> records = WaitForRecords(2);  // let it finish before the folder goes
  ASSERT_EQ(records.size(), 2u);
}

TEST_F(ProcessTest, StartProcessLooksTheNameUpAsAVariable) {
  const std::wstring recorder = RecorderPath();
  ScopedEnvironment variable(L"TVN_TEST_RECORDER", recorder.c_str());
  ASSERT_TRUE(tvn::StartProcess(L"TVN_TEST_RECORDER", L"x alpha", 0, true));
  std::vector<Record> records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_TRUE(SamePath(records[0].Text("exe"), recorder)) << "started " << records[0].Text("exe").size() << " chars";
  EXPECT_EQ(records[0].List("argv"), (std::vector<std::wstring>{L"alpha"}));

  // The command interpreter through COMSPEC, as the script runs use it.
  SetLastError(0xdeadbeef);
  EXPECT_TRUE(tvn::StartProcess(L"COMSPEC", L" /c exit 3", CREATE_NO_WINDOW, true));
  EXPECT_EQ(GetLastError(), 0u);
}

TEST_F(ProcessTest, StartedProgramsRunInTheSystemFolderAndOnlyByFullPath) {
  // The caller sits in a folder that anybody may have written to; a program
  // of that name there must neither run nor be the new process's directory.
  ScopedCurrentDirectory here(folder());
  ASSERT_TRUE(here.changed());
  const std::wstring planted = folder() + L"tvn_record.exe";
  ASSERT_TRUE(CopyFileW(RecorderPath().c_str(), planted.c_str(), FALSE));

  ASSERT_TRUE(tvn::StartProcess(RecorderPath().c_str(), L"tvn_record one", 0, true));
  ASSERT_TRUE(tvn::StartProgram(RecorderPath().c_str(), L"tvn_record two", 0, true));
  std::vector<Record> records = Records();
  ASSERT_EQ(records.size(), 2u);
  for (const Record& record : records) {
    EXPECT_TRUE(SamePath(record.Text("cwd"), SystemFolder())) << "started in " << record.Text("cwd").size();
    EXPECT_TRUE(SamePath(record.Text("exe"), RecorderPath()));
  }

  for (const wchar_t* relative : {L"tvn_record.exe", L".\\tvn_record.exe", L"C:tvn_record.exe"}) {
    SetLastError(0);
    EXPECT_FALSE(tvn::StartProgram(relative, L"tvn_record planted", 0, true));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_PATHNAME));
  }
  EXPECT_EQ(Records().size(), 2u) << "the planted copy never ran";
}

TEST_F(ProcessTest, StartProcessFailuresLeaveTheCreateProcessCode) {
  SetLastError(0);
  EXPECT_FALSE(tvn::StartProcess(L"C:\\windows\\tvn_no_such_program.exe", L" c", 0, true));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  // A variable that does not exist: its name is tried as the program path,
  // and as a relative path it is refused rather than looked up from the
  // current directory.
  ScopedEnvironment missing(L"TVN_TEST_NO_SUCH_VARIABLE", nullptr);
  SetLastError(0);
  EXPECT_FALSE(tvn::StartProcess(L"TVN_TEST_NO_SUCH_VARIABLE", L" /c exit", CREATE_NO_WINDOW, true));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_PATHNAME));

  // A name too long for the path buffer is refused, not cut to another path.
  const std::wstring tooLong = L"C:\\" + std::wstring(1100, L'x') + L"\\tvn_record.exe";
  SetLastError(0);
  EXPECT_FALSE(tvn::StartProcess(tooLong.c_str(), L" c", 0, false));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));

  SetLastError(0);
  EXPECT_FALSE(tvn::StartProcess(nullptr, L" c", 0, false));
  EXPECT_NE(GetLastError(), 0u);
  EXPECT_TRUE(Records().empty());
}

TEST_F(ProcessTest, ShellRunOpensAQuotedPathWithBlanksInTheSystemDrive) {
  const std::wstring copy = folder() + L"tvn_record.exe";
  ASSERT_TRUE(CopyFileW(RecorderPath().c_str(), copy.c_str(), FALSE));
  const std::wstring command = L"\"" + copy + L"\" alpha \"beta gamma\"  x";
  SetLastError(0xdeadbeef);
  ASSERT_TRUE(tvn::ShellRun(nullptr, command.c_str(), SW_SHOWNORMAL));
  EXPECT_EQ(GetLastError(), 0u);

  std::vector<Record> records = WaitForRecords(1);
  ASSERT_EQ(records.size(), 1u);
  const Record& r = records[0];
  EXPECT_TRUE(SamePath(r.Text("exe"), copy));
  EXPECT_EQ(r.List("argv"), (std::vector<std::wstring>{L"alpha", L"beta gamma", L"x"}));
  const std::wstring line = r.Text("command_line");
  const std::wstring tail = L" alpha \"beta gamma\"  x";
  ASSERT_GE(line.size(), tail.size());
  EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << "the parameters arrive as written, quotes kept";
  const std::wstring drive = EnvironmentVariable(L"systemdrive");
  ASSERT_FALSE(drive.empty());
  EXPECT_TRUE(SamePath(r.Text("cwd"), drive + L"\\"));
  EXPECT_EQ(r.Number("show"), SW_SHOWNORMAL);
}

TEST_F(ProcessTest, ShellRunPassesTheShowState) {
  const std::wstring command = RecorderPath() + L" hidden";
  ASSERT_TRUE(tvn::ShellRun(nullptr, command.c_str(), SW_HIDE));
  std::vector<Record> records = WaitForRecords(1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].Number("show"), SW_HIDE);
  EXPECT_EQ(records[0].List("argv"), (std::vector<std::wstring>{L"hidden"}));
}

TEST_F(ProcessTest, ShellRunWorksInTheDriveRootNeverInTheCallersDirectory) {
  // The caller's current directory is a folder on the system drive: "C:"
  // alone would stand for it.
  ScopedCurrentDirectory here(folder());
  ASSERT_TRUE(here.changed());
  const std::wstring root = SystemFolder().substr(0, 3);
  ASSERT_EQ(root.substr(1), L":\\");
  ScopedEnvironment drive(L"systemdrive", root.substr(0, 2).c_str());
  const std::wstring command = RecorderPath() + L" drive";
  ASSERT_TRUE(tvn::ShellRun(nullptr, command.c_str(), SW_HIDE));
  // Without the variable, the system folder's drive.
  ScopedEnvironment noDrive(L"systemdrive", nullptr);
  const std::wstring second = RecorderPath() + L" nodrive";
  ASSERT_TRUE(tvn::ShellRun(nullptr, second.c_str(), SW_HIDE));
  std::vector<Record> records = WaitForRecords(2);
  ASSERT_EQ(records.size(), 2u);
  for (const Record& record : records) EXPECT_TRUE(SamePath(record.Text("cwd"), root)) << record.List("argv")[0];
}

// A bare name is found in the absolute PATH folders with PATHEXT, never in
// the current directory or through a relative PATH entry.
TEST_F(ProcessTest, ShellRunFindsBareNamesOnlyInTheSystemsFolders) {
  tvn_test::TempFolder tools(L"launch tools");
  ASSERT_TRUE(tools.created());
  for (const std::wstring& copy : {tools / L"tvn_probe_run.exe", folder() + L"tvn_probe_run.exe"}) {
    ASSERT_TRUE(CopyFileW(RecorderPath().c_str(), copy.c_str(), FALSE));
  }
  ScopedCurrentDirectory here(folder());
  ASSERT_TRUE(here.changed());
  ScopedEnvironment path(L"PATH", (L".;" + SystemFolder() + L";" + tools.path()).c_str());
  ScopedEnvironment pathext(L"PATHEXT", L".COM;.EXE");
  ASSERT_TRUE(tvn::ShellRun(nullptr, L"tvn_probe_run found", SW_HIDE));
  std::vector<Record> records = WaitForRecords(1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_TRUE(SamePath(records[0].Text("exe"), tools / L"tvn_probe_run.exe")) << records[0].line();
}

TEST_F(ProcessTest, ShellRunFailuresLeaveTheShellCode) {
  SetLastError(0);
  EXPECT_FALSE(tvn::ShellRun(nullptr, L"C:\\tvn_no_such_file.exe some args", SW_HIDE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  SetLastError(0);
  EXPECT_FALSE(tvn::ShellRun(nullptr, L"", SW_HIDE));
  EXPECT_NE(GetLastError(), 0u);

  SetLastError(0);
  EXPECT_FALSE(tvn::ShellRun(nullptr, L"\n", SW_HIDE));
  EXPECT_NE(GetLastError(), 0u);

  SetLastError(0);
  EXPECT_FALSE(tvn::ShellRun(nullptr, nullptr, SW_HIDE));
  EXPECT_NE(GetLastError(), 0u);
  Sleep(200);
  EXPECT_TRUE(Records().empty());
}

// A visible window on a thread of its own, pumping messages until destroyed.
class ForeignWindow {
 public:
  ForeignWindow() {
    thread_ = std::thread([this] {
      tvn::UniqueWindow window(CreateWindowExW(0, L"STATIC", L"tvn foreign", WS_POPUP | WS_VISIBLE | WS_CAPTION, 10, 10,
                                               200, 80, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
      if (window) SetForegroundWindow(window.get());
      window_ = window.get();
      MSG message;
      while (window && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_APP) {
          window.reset();
          PostQuitMessage(0);
        }
        DispatchMessageW(&message);
      }
      ready_ = true;
    });
    for (int i = 0; i < 500 && window_.load() == nullptr && !ready_.load(); ++i) Sleep(10);
  }
  ~ForeignWindow() {
    if (window_.load() != nullptr) PostThreadMessageW(GetWindowThreadProcessId(window_.load(), nullptr), WM_APP, 0, 0);
    thread_.join();
  }
  HWND window() const { return window_.load(); }

 private:
  std::atomic<HWND> window_{nullptr};
  std::atomic<bool> ready_{false};
  std::thread thread_;
};

// Activation is message driven: the tests serve their messages for a while.
using tvn_test::PumpMessages;

TEST(ProcessForeground, NoForegroundWindowFails) {
  // With every window of the test gone there may still be a foreground window
  // of another program; only the result's consistency can be checked then.
  SetLastError(0xdeadbeef);
  bool brought = tvn::BringToForeground(nullptr);
  if (GetForegroundWindow() == nullptr) {
    EXPECT_FALSE(brought);
  }
  if (brought) {
    EXPECT_EQ(GetLastError(), 0u);
  }
}

TEST(ProcessForeground, BringsAWindowBeforeAnotherThreadsWindow) {
  if (!tvn_test::HaveDisplay()) GTEST_SKIP() << "needs a display";
  const tvn::UniqueWindow mineWindow(CreateWindowExW(0, L"STATIC", L"tvn mine", WS_POPUP | WS_VISIBLE | WS_CAPTION, 300,
                                                     10, 200, 80, nullptr, nullptr, GetModuleHandleW(nullptr),
                                                     nullptr));
  HWND mine = mineWindow.get();
  ASSERT_NE(mine, nullptr);
  {
    ForeignWindow other;
    ASSERT_NE(other.window(), nullptr);
    PumpMessages(300);
    HWND foreground = GetForegroundWindow();
    ASSERT_NE(foreground, nullptr);
    ASSERT_NE(GetWindowThreadProcessId(foreground, nullptr), GetCurrentThreadId())
        << "the foreground window must belong to another thread";

    SetLastError(0xdeadbeef);
    EXPECT_TRUE(tvn::BringToForeground(mine));
    EXPECT_EQ(GetLastError(), 0u);
    PumpMessages(300);
    // Windows keeps `mine` in front; Wine 8 drops the foreground to none when
    // the input queues are detached again. Either way the other thread's
    // window has lost it.
    EXPECT_NE(GetForegroundWindow(), other.window());
    EXPECT_TRUE(GetForegroundWindow() == mine || GetForegroundWindow() == nullptr);

    // When this thread owns the foreground window, it cannot attach to itself.
    SetForegroundWindow(mine);
    PumpMessages(300);
    ASSERT_EQ(GetForegroundWindow(), mine);
    EXPECT_FALSE(tvn::BringToForeground(mine));
    EXPECT_EQ(GetForegroundWindow(), mine) << "a failed call changes nothing";
  }
}

}  // namespace
