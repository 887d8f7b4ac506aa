// Starting programs (StartProcess, ShellRun) and BringToForeground, checked
// with tvn_record.exe, which writes one JSON line per start (program, argv,
// working directory, show state) into the file named by TVN_RECORD_FILE.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "launching/win/process.h"

namespace {

std::wstring ModuleDir() {
  wchar_t buffer[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::wstring path = buffer;
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring RecorderPath() { return ModuleDir() + L"tvn_record.exe"; }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring Environment(const wchar_t* name) {
  wchar_t buffer[1024] = {};
  DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
  return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

// Sets an environment variable for the test's duration (null removes it).
class ScopedEnvironment {
 public:
  ScopedEnvironment(const wchar_t* name, const wchar_t* value) : name_(name) {
    wchar_t buffer[1024] = {};
    DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    had_ = length > 0 && length < 1024;
    old_.assign(buffer, had_ ? length : 0);
    SetEnvironmentVariableW(name, value);
  }
  ~ScopedEnvironment() { SetEnvironmentVariableW(name_.c_str(), had_ ? old_.c_str() : nullptr); }

 private:
  std::wstring name_;
  std::wstring old_;
  bool had_ = false;
};

// One JSON line of the record file, with just enough parsing for its
// "key":"text", "key":number and "key":["text",...] members.
class Record {
 public:
  explicit Record(std::string line) : line_(std::move(line)) {}

  std::wstring Text(const char* key) const {
    std::size_t at = Find(key);
    std::wstring out;
    if (at != std::string::npos && line_[at] == '"') ReadString(at, out);
    return out;
  }
  long long Number(const char* key) const {
    std::size_t at = Find(key);
    return at == std::string::npos ? -999 : std::stoll(line_.substr(at));
  }
  std::vector<std::wstring> List(const char* key) const {
    std::vector<std::wstring> out;
    std::size_t at = Find(key);
    if (at == std::string::npos || line_[at] != '[') return out;
    ++at;
    while (at < line_.size() && line_[at] == '"') {
      std::wstring item;
      at = ReadString(at, item);
      out.push_back(item);
      if (at < line_.size() && line_[at] == ',') ++at;
    }
    return out;
  }

 private:
  std::size_t Find(const char* key) const {
    std::string pattern = std::string("\"") + key + "\":";
    std::size_t at = line_.find(pattern);
    return at == std::string::npos ? at : at + pattern.size();
  }
  // Reads the JSON string starting at the quote `at`; returns the index after it.
  std::size_t ReadString(std::size_t at, std::wstring& out) const {
    std::string utf8;
    for (++at; at < line_.size() && line_[at] != '"'; ++at) {
      char c = line_[at];
      if (c != '\\') {
        utf8.push_back(c);
        continue;
      }
      char e = line_[++at];
      if (e == 'u') {
        unsigned code = static_cast<unsigned>(std::stoul(line_.substr(at + 1, 4), nullptr, 16));
        at += 4;
        wchar_t w = static_cast<wchar_t>(code);
        char bytes[8] = {};
        int n = WideCharToMultiByte(CP_UTF8, 0, &w, 1, bytes, 8, nullptr, nullptr);
        utf8.append(bytes, n > 0 ? n : 0);
      } else {
        utf8.push_back(e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e);
      }
    }
    int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    out.assign(units > 0 ? units : 0, L'\0');
    if (units > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], units);
    return at + 1;
  }

  std::string line_;
};

// A private folder whose name holds blanks, and a record file in it that the
// started programs inherit through TVN_RECORD_FILE.
class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Exists(RecorderPath())) GTEST_SKIP() << "tvn_record.exe is not built next to the test program";
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    folder_ = std::wstring(temp) + L"launch process " + std::to_wstring(GetCurrentProcessId()) + L" " +
              std::to_wstring(++counter) + L"\\";
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
    recordFile_ = folder_ + L"record.jsonl";
    recordEnv_.reset(new ScopedEnvironment(L"TVN_RECORD_FILE", recordFile_.c_str()));
  }
  void TearDown() override {
    recordEnv_.reset();
    if (folder_.empty()) return;
    // Give started copies of the recorder a moment to end before removing them.
    for (int attempt = 0; attempt < 50; ++attempt) {
      bool left = false;
      for (const wchar_t* name : {L"record.jsonl", L"tvn_record.exe"}) {
        std::wstring path = folder_ + name;
        if (Exists(path) && !DeleteFileW(path.c_str())) left = true;
      }
      if (!left) break;
      Sleep(100);
    }
    RemoveDirectoryW(folder_.c_str());
  }

  std::vector<Record> Records() const {
    std::vector<Record> records;
    HANDLE file = CreateFileW(recordFile_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return records;
    std::string content(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!content.empty()) ReadFile(file, &content[0], static_cast<DWORD>(content.size()), &read, nullptr);
    CloseHandle(file);
    content.resize(read);
    std::size_t start = 0;
    for (std::size_t end; (end = content.find('\n', start)) != std::string::npos; start = end + 1) {
      records.emplace_back(content.substr(start, end - start));
    }
    return records;
  }

  // Waits (at most 10 s) until the record file holds `count` lines.
  std::vector<Record> WaitForRecords(std::size_t count) const {
    const DWORD start = GetTickCount();
    std::vector<Record> records = Records();
    while (records.size() < count && GetTickCount() - start < 10000) {
      Sleep(50);
      records = Records();
    }
    return records;
  }

  std::wstring folder_;
  std::wstring recordFile_;
  std::unique_ptr<ScopedEnvironment> recordEnv_;
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
  EXPECT_EQ(CompareStringOrdinal(records[0].Text("exe").c_str(), -1, recorder.c_str(), -1, TRUE), CSTR_EQUAL)
      << "started " << records[0].Text("exe").size() << " chars";
  EXPECT_EQ(records[0].List("argv"), (std::vector<std::wstring>{L"alpha"}));

  // The command interpreter through COMSPEC, as the script runs use it.
  SetLastError(0xdeadbeef);
  EXPECT_TRUE(tvn::StartProcess(L"COMSPEC", L" /c exit 3", CREATE_NO_WINDOW, true));
  EXPECT_EQ(GetLastError(), 0u);
}

// Makes `folder` the current directory for the test's duration.
class ScopedCurrentDirectory {
 public:
  explicit ScopedCurrentDirectory(const std::wstring& folder) {
    wchar_t buffer[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, buffer);
    old_ = buffer;
    EXPECT_TRUE(SetCurrentDirectoryW(folder.c_str()));
  }
  ~ScopedCurrentDirectory() { SetCurrentDirectoryW(old_.c_str()); }

 private:
  std::wstring old_;
};

std::wstring SystemFolder() {
  wchar_t buffer[MAX_PATH] = {};
  GetSystemDirectoryW(buffer, MAX_PATH);
  return buffer;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

TEST_F(ProcessTest, StartedProgramsRunInTheSystemFolderAndOnlyByFullPath) {
  // The caller sits in a folder that anybody may have written to; a program
  // of that name there must neither run nor be the new process's directory.
  ScopedCurrentDirectory here(folder_);
  const std::wstring planted = folder_ + L"tvn_record.exe";
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
  const std::wstring copy = folder_ + L"tvn_record.exe";
  ASSERT_TRUE(CopyFileW(RecorderPath().c_str(), copy.c_str(), FALSE));
  const std::wstring command = L"\"" + copy + L"\" alpha \"beta gamma\"  x";
  SetLastError(0xdeadbeef);
  ASSERT_TRUE(tvn::ShellRun(nullptr, command.c_str(), SW_SHOWNORMAL));
  EXPECT_EQ(GetLastError(), 0u);

  std::vector<Record> records = WaitForRecords(1);
  ASSERT_EQ(records.size(), 1u);
  const Record& r = records[0];
  EXPECT_EQ(CompareStringOrdinal(r.Text("exe").c_str(), -1, copy.c_str(), -1, TRUE), CSTR_EQUAL);
  EXPECT_EQ(r.List("argv"), (std::vector<std::wstring>{L"alpha", L"beta gamma", L"x"}));
  const std::wstring line = r.Text("command_line");
  const std::wstring tail = L" alpha \"beta gamma\"  x";
  ASSERT_GE(line.size(), tail.size());
  EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << "the parameters arrive as written, quotes kept";
  const std::wstring drive = Environment(L"systemdrive");
  ASSERT_FALSE(drive.empty());
  EXPECT_EQ(CompareStringOrdinal(r.Text("cwd").c_str(), -1, (drive + L"\\").c_str(), -1, TRUE), CSTR_EQUAL);
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
  ScopedCurrentDirectory here(folder_);
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
      HWND window = CreateWindowExW(0, L"STATIC", L"tvn foreign", WS_POPUP | WS_VISIBLE | WS_CAPTION, 10, 10, 200,
                                    80, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
      if (window != nullptr) SetForegroundWindow(window);
      window_ = window;
      MSG message;
      while (window != nullptr && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_APP) {
          DestroyWindow(window);
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

// Serves this thread's messages for a while: activation is message driven.
void PumpMessages(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(10);
  } while (GetTickCount() - start < ms);
}

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
  if (GetSystemMetrics(SM_CXSCREEN) == 0) GTEST_SKIP() << "needs a display";
  HWND mine = CreateWindowExW(0, L"STATIC", L"tvn mine", WS_POPUP | WS_VISIBLE | WS_CAPTION, 300, 10, 200, 80,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
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
  DestroyWindow(mine);
}

}  // namespace
