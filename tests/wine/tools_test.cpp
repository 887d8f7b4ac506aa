// The end-to-end test tools, checked against windows and processes of known
// state: tvn_inspect.exe reads a window that this test builds and keeps
// pumping, and tvn_record.exe is started with a known start-up record.
// Both tools are expected next to this test program.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "base/win/unique_handle.h"
#include "tests/wine/support/files.h"
#include "tests/wine/support/processes.h"
#include "tests/wine/support/records.h"

namespace {

using tvn::UniqueHandleKernel;
using tvn_test::BesideModule;
using tvn_test::Record;
using tvn_test::Utf8;

std::string HexHandle(HWND window) {
  char buffer[32];
  snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window)));
  return buffer;
}

// Runs the inspector with `arguments` and its stdout in a file, pumping this
// thread's messages meanwhile: the inspector sends messages to our windows.
struct ToolRun {
  DWORD exitCode = 0xFFFFFFFF;
  std::string out;
};

ToolRun RunInspector(const std::wstring& arguments) {
  ToolRun run;
  const std::wstring exe = BesideModule(L"tvn_inspect.exe");
  const std::wstring outPath = tvn_test::TempFileName(L"tvi");
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  UniqueHandleKernel out(CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_TRUE(static_cast<bool>(out)) << "cannot create " << Utf8(outPath);
  tvn_test::ProgramOptions options;
  options.output = out.get();
  options.creationFlags = CREATE_NO_WINDOW;
  options.pumpMessages = true;
  const tvn_test::ProgramRun program = tvn_test::RunProgram(exe.c_str(), L"\"" + exe + L"\" " + arguments, options);
  out.reset();
  if (!program.started) {
    ADD_FAILURE() << "cannot start " << Utf8(exe) << ", error " << program.startError;
  } else if (!program.ended) {
    ADD_FAILURE() << "the inspector did not end";
  }
  run.exitCode = program.exitCode;
  run.out = tvn_test::FileBytes(outPath);
  DeleteFileW(outPath.c_str());
  return run;
}

// The JSON object of the control with `id` in the inspector's output: from
// its opening brace to the next control's.
std::string ControlJson(const std::string& out, int id) {
  const std::string key = "\"id\":" + std::to_string(id) + ",\"class\"";
  std::size_t at = out.find(key);
  if (at == std::string::npos) return std::string();
  std::size_t begin = out.rfind("{\"hwnd\":", at);
  std::size_t end = out.find("{\"hwnd\":", at);
  return out.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

constexpr int kListId = 101;
constexpr int kComboId = 102;
constexpr int kCheckId = 103;
constexpr int kEditId = 104;
constexpr int kPasswordId = 105;

class InspectedWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSW cls = {};
    cls.lpfnWndProc = DefWindowProcW;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = L"TvnToolsTestWindow";
    RegisterClassW(&cls);  // fails harmlessly when another test registered it
    window_.reset(CreateWindowExW(0, cls.lpszClassName, L"Tools test window", WS_OVERLAPPEDWINDOW, 10, 10, 500, 400,
                                  nullptr, nullptr, cls.hInstance, nullptr));
    ASSERT_NE(window_.get(), nullptr);
    list_ = Child(WC_LISTVIEWW, L"", WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS, 10, 10, 300, 150, kListId);
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = 200;
    column.pszText = const_cast<wchar_t*>(L"Name");
    SendMessageW(list_, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    const wchar_t* const rows[] = {L"First", L"Second \"quoted\"", L"Третий"};
    for (int i = 0; i < 3; ++i) {
      LVITEMW item = {};
      item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
      item.iItem = i;
      item.iImage = 20 + i;
      item.lParam = 11 * (i + 1);
      item.pszText = const_cast<wchar_t*>(rows[i]);
      SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    SendMessageW(list_, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));

    combo_ = Child(L"ComboBox", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 320, 10, 150, 120, kComboId);
    for (const wchar_t* text : {L"Alpha", L"Beta", L"Гамма"})
      SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendMessageW(combo_, CB_SETCURSEL, 1, 0);

    check_ = Child(L"Button", L"Check me", BS_AUTOCHECKBOX, 10, 170, 150, 20, kCheckId);
    SendMessageW(check_, BM_SETCHECK, BST_CHECKED, 0);
    edit_ = Child(L"Edit", L"", WS_BORDER | ES_AUTOHSCROLL, 10, 200, 300, 22, kEditId);
    // A quote, a backslash, a tab, Cyrillic, a surrogate pair and a lone surrogate.
    const wchar_t text[] = {L'a', L'"', L'b', L'\\', L'\t', 0x0416, 0xD83D, 0xDE00, L' ', 0xD800, L'z', 0};
    SetWindowTextW(edit_, text);
    SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    password_ = Child(L"Edit", L"secret", WS_BORDER | ES_PASSWORD, 10, 230, 300, 22, kPasswordId);
    EnableWindow(password_, FALSE);

    ShowWindow(window_.get(), SW_SHOWNOACTIVATE);
    SetFocus(edit_);
  }

  void TearDown() override { window_.reset(); }

  HWND Child(const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, int id) {
    HWND child = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, window_.get(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    EXPECT_NE(child, nullptr);
    return child;
  }

  std::wstring HwndArgument() const {
    wchar_t buffer[32];
    swprintf(buffer, 32, L"0x%llx", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window_.get())));
    return buffer;
  }

  tvn::UniqueWindow window_;
  HWND list_ = nullptr;
  HWND combo_ = nullptr;
  HWND check_ = nullptr;
  HWND edit_ = nullptr;
  HWND password_ = nullptr;
};

TEST_F(InspectedWindow, DescribesControlsAndTheirState) {
  ToolRun run = RunInspector(L"--hwnd " + HwndArgument());
  ASSERT_EQ(run.exitCode, 0u) << run.out;
  const std::string& out = run.out;
  EXPECT_EQ(out.rfind("{\"windows\":[{\"hwnd\":\"" + HexHandle(window_.get()) + "\"", 0), 0u) << out;
  EXPECT_NE(out.find("\"pid\":" + std::to_string(GetCurrentProcessId()) + ","), std::string::npos);
  EXPECT_NE(out.find("\"title\":\"Tools test window\",\"class\":\"TvnToolsTestWindow\",\"visible\":true"),
            std::string::npos);

  const std::string list = ControlJson(out, kListId);
  ASSERT_FALSE(list.empty()) << out;
  EXPECT_NE(list.find("\"class\":\"SysListView32\""), std::string::npos);
  EXPECT_NE(list.find("\"count\":3,\"selected\":1"), std::string::npos) << list;
  EXPECT_NE(list.find("{\"index\":0,\"text\":\"First\",\"image\":20,\"param\":11,\"selected\":false"),
            std::string::npos)
      << list;
  EXPECT_NE(list.find("{\"index\":1,\"text\":\"Second \\\"quoted\\\"\",\"image\":21,\"param\":22,\"selected\":true"),
            std::string::npos)
      << list;
  EXPECT_NE(list.find("{\"index\":2,\"text\":\"" + Utf8(L"Третий") + "\",\"image\":22,\"param\":33"), std::string::npos)
      << list;
  RECT itemRect = {};
  itemRect.left = LVIR_BOUNDS;
  SendMessageW(list_, LVM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&itemRect));
  EXPECT_NE(list.find("\"rect\":[" + std::to_string(itemRect.left) + "," + std::to_string(itemRect.top) + "," +
                      std::to_string(itemRect.right) + "," + std::to_string(itemRect.bottom) + "]}]"),
            std::string::npos)
      << list;

  const std::string combo = ControlJson(out, kComboId);
  EXPECT_NE(combo.find("\"items\":[\"Alpha\",\"Beta\",\"" + Utf8(L"Гамма") + "\"],\"selected\":1"), std::string::npos)
      << combo;
  EXPECT_NE(combo.find("\"checked\":null"), std::string::npos);

  const std::string check = ControlJson(out, kCheckId);
  EXPECT_NE(check.find("\"text\":\"Check me\""), std::string::npos) << check;
  EXPECT_NE(check.find("\"checked\":1,\"focus\":false"), std::string::npos) << check;
  EXPECT_NE(check.find("\"rect\":[10,170,160,190]"), std::string::npos) << check;

  const std::string edit = ControlJson(out, kEditId);
  EXPECT_NE(edit.find("\"text\":\"a\\\"b\\\\\\t" + Utf8(L"Ж") + "\xF0\x9F\x98\x80 \\ud800z\""), std::string::npos)
      << edit;
  EXPECT_NE(edit.find("\"focus\":true,\"focus_within\":true"), std::string::npos) << edit;
  EXPECT_NE(edit.find("\"has_font\":true"), std::string::npos) << edit;
  EXPECT_NE(edit.find("\"password\":false"), std::string::npos);

  const std::string password = ControlJson(out, kPasswordId);
  EXPECT_NE(password.find("\"enabled\":false"), std::string::npos) << password;
  EXPECT_NE(password.find("\"password\":true"), std::string::npos) << password;
  EXPECT_NE(password.find("\"focus\":false"), std::string::npos) << password;
}

TEST_F(InspectedWindow, ActionsReachTheControls) {
  ToolRun select = RunInspector(L"--hwnd " + HwndArgument() + L" --lv-select 101 2");
  EXPECT_EQ(select.exitCode, 0u) << select.out;
  EXPECT_EQ(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 2);

  ToolRun point = RunInspector(L"--hwnd " + HwndArgument() + L" --lv-dblclick 101 0");
  ASSERT_EQ(point.exitCode, 0u) << point.out;
  long x = 0, y = 0;
  ASSERT_EQ(sscanf(point.out.c_str() + point.out.find("\"x\":"), "\"x\":%ld,\"y\":%ld", &x, &y), 2) << point.out;
  LVHITTESTINFO hit = {};
  hit.pt = {x, y};
  ScreenToClient(list_, &hit.pt);
  EXPECT_EQ(SendMessageW(list_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)), 0) << point.out;

  ToolRun setText = RunInspector(L"--hwnd " + HwndArgument() + L" --set-text 104 \"Новый текст\"");
  EXPECT_EQ(setText.exitCode, 0u) << setText.out;
  wchar_t text[64] = {};
  GetWindowTextW(edit_, text, 64);
  EXPECT_STREQ(text, L"Новый текст");

  ToolRun click = RunInspector(L"--hwnd " + HwndArgument() + L" --click 103");
  EXPECT_EQ(click.exitCode, 0u) << click.out;
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);  // the posted BM_CLICK
  EXPECT_EQ(SendMessageW(check_, BM_GETCHECK, 0, 0), BST_UNCHECKED);

  ToolRun missing = RunInspector(L"--hwnd " + HwndArgument() + L" --lv-rclick 101 3");
  EXPECT_EQ(missing.exitCode, 1u);
  EXPECT_NE(missing.out.find("\"ok\":false,\"error\":\"no such item\""), std::string::npos) << missing.out;
  ToolRun noControl = RunInspector(L"--hwnd " + HwndArgument() + L" --click 999");
  EXPECT_EQ(noControl.exitCode, 1u);
  EXPECT_NE(noControl.out.find("\"control\":null,\"ok\":false"), std::string::npos) << noControl.out;
}

TEST(Inspector, ReportsNoMatchAndBadArguments) {
  ToolRun none = RunInspector(L"--title \"no window has this title 7f3a\" --wait 120");
  EXPECT_EQ(none.exitCode, 1u);
  EXPECT_EQ(none.out, "{\"windows\":[]}\n");
  for (const wchar_t* bad : {L"", L"--pid", L"--pid 12x", L"--hwnd 0xZZ", L"--all --click", L"--all --close --close",
                             L"--all --set-check 1 3", L"--frobnicate"}) {
    ToolRun run = RunInspector(bad);
    EXPECT_EQ(run.exitCode, 2u) << Utf8(bad);
    EXPECT_EQ(run.out.find('{'), std::string::npos) << Utf8(bad) << ": " << run.out;
  }
}

// Starts tvn_record.exe with a known start-up record and returns its lines.
struct RecordRun {
  DWORD exitCode = 0xFFFFFFFF;
  std::vector<Record> records;
};

RecordRun StartRecorder(const std::wstring& arguments, const std::wstring& directory, WORD show) {
  RecordRun run;
  const std::wstring exe = tvn_test::RecorderPath();
  const std::wstring record = tvn_test::TempFileName(L"tvr");
  DeleteFileW(record.c_str());
  // The caller's environment without TVN_RECORD_FILE, then ours.
  tvn_test::ProgramOptions options;
  options.environment = tvn_test::EnvironmentWithout(L"TVN_RECORD_FILE", {L"TVN_RECORD_FILE=" + record});
  options.directory = directory.c_str();
  options.show = show;
  const tvn_test::ProgramRun program = tvn_test::RunProgram(exe.c_str(), L"\"" + exe + L"\" " + arguments, options);
  if (!program.started) {
    ADD_FAILURE() << "cannot start " << Utf8(exe) << ", error " << program.startError;
    return run;
  }
  EXPECT_TRUE(program.ended);
  run.exitCode = program.exitCode;
  run.records = tvn_test::ReadRecords(record);
  DeleteFileW(record.c_str());
  return run;
}

TEST(Recorder, RecordsArgumentsDirectoryShowStateAndParent) {
  wchar_t windows[MAX_PATH] = {};
  UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
  ASSERT_GT(length, 0u);
  RecordRun run = StartRecorder(L"one \"two words\" \"\u041f\u0440\u0438\u0432\u0435\u0442\" --exit 7",
                                std::wstring(windows, length), SW_SHOWMINNOACTIVE);
  EXPECT_EQ(run.exitCode, 7u);
  ASSERT_EQ(run.records.size(), 1u);
  const std::string& line = run.records[0].line();
  EXPECT_EQ(line.rfind("{\"event\":\"start\",\"pid\":", 0), 0u) << line;
  EXPECT_NE(line.find("\"parent_pid\":" + std::to_string(GetCurrentProcessId()) + ","), std::string::npos) << line;
  EXPECT_NE(line.find("\"argv\":[\"one\",\"two words\",\"" + Utf8(L"Привет") + "\",\"--exit\",\"7\"]"),
            std::string::npos)
      << line;
  std::wstring escaped;
  for (wchar_t c : std::wstring(windows, length)) escaped += c == L'\\' ? std::wstring(L"\\\\") : std::wstring(1, c);
  EXPECT_NE(line.find("\"cwd\":\"" + Utf8(escaped) + "\""), std::string::npos) << line;
  EXPECT_NE(line.find("\"show\":7,\"startup_flags\":1,"), std::string::npos) << line;
  EXPECT_EQ(line.find("option_error"), std::string::npos) << line;
}

TEST(Recorder, SleepAddsAnEndLineAfterTheWait) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  RecordRun run = StartRecorder(L"--sleep 300 --exit x", temp, SW_SHOWNORMAL);
  EXPECT_EQ(run.exitCode, 0u);  // a bad --exit value is recorded and ignored
  ASSERT_EQ(run.records.size(), 2u);
  const std::string& start = run.records[0].line();
  const std::string& end = run.records[1].line();
  EXPECT_NE(start.find("\"show\":1,"), std::string::npos) << start;
  EXPECT_NE(start.find("\"option_error\":\"bad --exit value\""), std::string::npos) << start;
  ASSERT_EQ(end.rfind("{\"event\":\"end\"", 0), 0u) << end;
  EXPECT_NE(end.find("\"slept\":300}"), std::string::npos) << end;
  const long long startTick = run.records[0].Number("tick");
  const long long endTick = run.records[1].Number("tick");
  ASSERT_GT(startTick, 0);
  ASSERT_GT(endTick, 0);
  EXPECT_GE(endTick - startTick, 280);
}

}  // namespace
