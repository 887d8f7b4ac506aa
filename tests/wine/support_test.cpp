// The test support itself: the reader of the recorder's lines, files and
// folders, scoped variables, started programs and the dialog driver. The other
// tests lean on these; a fault here would let them pass for the wrong reason.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/win/unique_handle.h"
#include "resources/resource.h"
#include "tests/wine/support/dialog_driver.h"
#include "tests/wine/support/files.h"
#include "tests/wine/support/processes.h"
#include "tests/wine/support/records.h"
#include "tests/wine/support/windows.h"

namespace {

using tvn_test::DialogDriver;
using tvn_test::Exists;
using tvn_test::Record;

TEST(SupportRecord, ReadsTextsNumbersAndLists) {
  const Record record(
      "{\"event\":\"start\",\"pid\":12,\"delta\":-7,\"parent\":null,\"cwd\":\"C:\\\\dir \\\\\","
      "\"text\":\"one\\ntwo\\t\\\"three\\\"\",\"name\":\"\xD0\x9F\xD1\x80\xD0\xB8\",\"argv\":[\"a\",\"b c\","
      "\"\\u0416\\ud800x\",\"\"],\"empty\":[]}");
  EXPECT_EQ(record.Text("event"), L"start");
  EXPECT_EQ(record.Text("cwd"), L"C:\\dir \\");
  EXPECT_EQ(record.Text("text"), L"one\ntwo\t\"three\"");
  EXPECT_EQ(record.Text("name"), L"\x041F\x0440\x0438") << "UTF-8 text as written";
  EXPECT_EQ(record.Number("pid"), 12);
  EXPECT_EQ(record.Number("delta"), -7);
  EXPECT_EQ(record.Number("parent"), Record::kNoNumber) << "null is no number";
  EXPECT_EQ(record.Number("missing"), Record::kNoNumber);
  EXPECT_EQ(record.Text("pid"), L"") << "a number is no text";
  const std::wstring lone = {0x0416, 0xD800, L'x'};
  EXPECT_EQ(record.List("argv"), (std::vector<std::wstring>{L"a", L"b c", lone, L""}))
      << "an escaped unit stays one unit, a lone surrogate included";
  EXPECT_TRUE(record.List("empty").empty());
  EXPECT_TRUE(record.List("event").empty());
  EXPECT_TRUE(record.Has("argv"));
  EXPECT_FALSE(record.Has("arg"));

  // Cut short: no crash, and what was read so far.
  EXPECT_EQ(Record("{\"text\":\"ab\\u04").Text("text"), L"ab");
  EXPECT_EQ(Record("{\"text\":\"ab\\").Text("text"), L"ab");
  EXPECT_EQ(Record("{\"pid\":").Number("pid"), Record::kNoNumber);
  EXPECT_EQ(Record("{\"pid\":-").Number("pid"), Record::kNoNumber);
}

TEST(SupportRecord, AFileGivesItsFinishedLinesAndItsNameToStartedPrograms) {
  tvn_test::TempFolder folder(L"support records");
  ASSERT_TRUE(folder.created());
  const std::wstring path = folder / L"record.jsonl";
  const std::wstring before = tvn_test::EnvironmentVariable(L"TVN_RECORD_FILE");
  {
    ASSERT_TRUE(tvn_test::WriteFileBytes(path, "left over\n"));
    tvn_test::RecordFile file(path);
    EXPECT_FALSE(Exists(path)) << "a leftover file goes first";
    EXPECT_EQ(tvn_test::EnvironmentVariable(L"TVN_RECORD_FILE"), path);
    EXPECT_TRUE(file.Records().empty());

    ASSERT_TRUE(tvn_test::WriteFileBytes(path, "{\"n\":1}\n{\"n\":2}\n{\"n\":3"));
    const std::vector<Record> records = file.Records();
    ASSERT_EQ(records.size(), 2u) << "the line still being written is left out";
    EXPECT_EQ(records[1].Number("n"), 2);

    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(file.WaitFor(3, 300).size(), 2u);
    EXPECT_GE(GetTickCount64() - start, 300u) << "it waited for the third line";
    EXPECT_EQ(file.WaitFor(2, 60000).size(), 2u);
  }
  EXPECT_FALSE(Exists(path)) << "the file goes at the end";
  EXPECT_EQ(tvn_test::EnvironmentVariable(L"TVN_RECORD_FILE"), before);
}

TEST(SupportFiles, BytesRoundTripAndFoldersAreRemovedWithTheirFiles) {
  std::wstring path;
  {
    tvn_test::TempFolder folder(L"support files");
    ASSERT_TRUE(folder.created());
    path = folder.path();
    EXPECT_NE(path.find(L"support files "), std::wstring::npos);
    EXPECT_EQ(path.back(), L'\\');
    const std::string bytes("a\0b\r\n\xFF", 6);
    ASSERT_TRUE(tvn_test::WriteFileBytes(folder / L"one.bin", bytes));
    ASSERT_TRUE(tvn_test::WriteFileBytes(folder / L"two.bin", std::string(200000, 'x')));
    ASSERT_TRUE(CreateDirectoryW((folder / L"sub").c_str(), nullptr));
    std::string read;
    ASSERT_TRUE(tvn_test::ReadFileBytes(folder / L"one.bin", read));
    EXPECT_EQ(read, bytes);
    EXPECT_EQ(tvn_test::FileBytes(folder / L"two.bin").size(), 200000u);
    ASSERT_TRUE(tvn_test::WriteFileBytes(folder / L"one.bin", "short"));
    EXPECT_EQ(tvn_test::FileBytes(folder / L"one.bin"), "short") << "replaced whole";
    EXPECT_FALSE(tvn_test::ReadFileBytes(folder / L"none.bin", read));
    EXPECT_TRUE(read.empty());
    EXPECT_EQ(tvn_test::FilesIn(folder.path()).size(), 2u) << "files only, not the folder";
    RemoveDirectoryW((folder / L"sub").c_str());
  }
  EXPECT_FALSE(Exists(path));
  EXPECT_TRUE(tvn_test::SamePath(tvn_test::ModuleDir() + L"X.exe", tvn_test::BesideModule(L"x.EXE")));
}

TEST(SupportFiles, ScopedVariablesAndDirectoriesPutTheOldStateBack) {
  const wchar_t kName[] = L"TVN_SUPPORT_TEST_VARIABLE";
  SetEnvironmentVariableW(kName, nullptr);
  {
    tvn_test::ScopedEnvironment set(kName, L"value");
    EXPECT_EQ(tvn_test::EnvironmentVariable(kName), L"value");
  }
  EXPECT_EQ(GetEnvironmentVariableW(kName, nullptr, 0), 0u) << "unset again";
  SetEnvironmentVariableW(kName, L"");
  {
    tvn_test::ScopedEnvironment removed(kName, nullptr);
    EXPECT_EQ(GetEnvironmentVariableW(kName, nullptr, 0), 0u);
  }
  EXPECT_NE(GetEnvironmentVariableW(kName, nullptr, 0), 0u) << "an empty value is a value";
  SetEnvironmentVariableW(kName, nullptr);

  wchar_t before[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, before);
  {
    tvn_test::ScopedCurrentDirectory here(tvn_test::SystemFolder());
    ASSERT_TRUE(here.changed());
    wchar_t now[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, now);
    EXPECT_TRUE(tvn_test::SamePath(now, tvn_test::SystemFolder()));
    tvn_test::ScopedCurrentDirectory nowhere(L"C:\\no\\such\\folder");
    EXPECT_FALSE(nowhere.changed());
  }
  wchar_t after[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, after);
  EXPECT_STREQ(after, before);
}

TEST(SupportProcesses, RunProgramGivesTheExitCodeAndEndsAProgramThatTakesTooLong) {
  tvn_test::ProgramOptions options;
  options.creationFlags = CREATE_NO_WINDOW;
  tvn_test::ProgramRun run = tvn_test::RunProgram(nullptr, L"cmd /c exit 5", options);
  EXPECT_TRUE(run.started);
  EXPECT_TRUE(run.ended);
  EXPECT_EQ(run.exitCode, 5u);

  const std::wstring missing = tvn_test::SystemFolder() + L"\\tvn_no_such_program.exe";
  run = tvn_test::RunProgram(missing.c_str(), L"program", options);
  EXPECT_FALSE(run.started);
  EXPECT_EQ(run.startError, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  const std::wstring recorder = tvn_test::RecorderPath();
  if (!Exists(recorder)) GTEST_SKIP() << "needs tvn_record.exe";
  tvn_test::TempFolder folder(L"support run");
  options.environment = tvn_test::EnvironmentWithout(L"TVN_RECORD_FILE", {L"TVN_RECORD_FILE=" + (folder / L"r.log")});
  // Long enough for the recorder to start and write its line on a loaded
  // machine, far shorter than its sleep.
  options.timeoutMs = 5000;
  run = tvn_test::RunProgram(recorder.c_str(), L"tvn_record --sleep 120000", options);
  EXPECT_TRUE(run.started);
  EXPECT_FALSE(run.ended);
  EXPECT_EQ(run.exitCode, 99u) << "ended by the time limit";
  const std::vector<Record> records = tvn_test::ReadRecords(folder / L"r.log");
  ASSERT_EQ(records.size(), 1u) << "the recorder ran with the given environment";
  EXPECT_EQ(records[0].List("argv"), (std::vector<std::wstring>{L"--sleep", L"120000"}));
}

TEST(SupportProcesses, EnvironmentWithoutDropsTheNameAndAddsTheExtras) {
  tvn_test::ScopedEnvironment dropped(L"TVN_SUPPORT_DROPPED", L"1");
  const std::vector<wchar_t> block = tvn_test::EnvironmentWithout(L"tvn_support_dropped", {L"A_B=c d", L"E=f"});
  ASSERT_GE(block.size(), 2u);
  EXPECT_EQ(block[block.size() - 1], L'\0');
  EXPECT_EQ(block[block.size() - 2], L'\0');
  std::vector<std::wstring> entries;
  for (std::size_t at = 0; at < block.size() && block[at] != L'\0'; at += entries.back().size() + 1) {
    entries.emplace_back(&block[at]);
  }
  EXPECT_GE(entries.size(), 3u) << "the rest of the environment stays";
  for (const std::wstring& entry : entries) EXPECT_NE(entry.rfind(L"TVN_SUPPORT_DROPPED=", 0), 0u);
  ASSERT_GE(entries.size(), 2u);
  EXPECT_EQ(entries[entries.size() - 2], L"A_B=c d");
  EXPECT_EQ(entries.back(), L"E=f");
}

// The help template with a procedure that only ends with 7 on WM_CLOSE.
INT_PTR CALLBACK ClosesWithSeven(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_CLOSE) EndDialog(dialog, 7);
  return FALSE;
}

INT_PTR OpenHelpTemplate() { return tvn_test::RunTemplate(IDD_HELP, ClosesWithSeven, 0); }

DialogDriver::Options ClosingOptions() {
  DialogDriver::Options options;
  options.find = [] { return tvn_test::FindThreadDialog(IDC_HELP_DIAGNOSTICS); };
  options.closeAfterLastStep = true;
  return options;
}

class SupportDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!tvn_test::HaveDisplay()) GTEST_SKIP() << "needs a display";
  }
};

TEST_F(SupportDriver, StepsRunInTurnAndAStepThatIsNotDoneRunsAgain) {
  std::vector<std::string> seen;
  int tries = 0;
  HWND found = nullptr;
  const DialogDriver::Result run = DialogDriver::Run(OpenHelpTemplate,
                                                     {[&](HWND dialog) {
                                                        found = dialog;
                                                        seen.push_back("first");
                                                        return true;
                                                      },
                                                      [&](HWND) {
                                                        seen.push_back("second");
                                                        return ++tries == 3;
                                                      },
                                                      tvn_test::Do([&](HWND) { seen.push_back("third"); })},
                                                     ClosingOptions());
  EXPECT_EQ(seen, (std::vector<std::string>{"first", "second", "second", "second", "third"}));
  EXPECT_NE(found, nullptr) << "the steps get the dialog that the finder found";
  EXPECT_EQ(run.dialogResult, 7) << "closed after the last step";
  EXPECT_TRUE(run.finished);
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.stepsDone, 3u);
  EXPECT_EQ(run.stepCount, 3u);
}

TEST_F(SupportDriver, AStuckDialogIsClosedWhenTheTimeIsUp) {
  DialogDriver::Options options = ClosingOptions();
  options.timeoutMs = 500;
  const ULONGLONG start = GetTickCount64();
  const DialogDriver::Result run =
      DialogDriver::Run(OpenHelpTemplate, {tvn_test::Do([](HWND) {}), [](HWND) { return false; }}, options);
  EXPECT_GE(GetTickCount64() - start, 500u);
  EXPECT_TRUE(run.timedOut);
  EXPECT_FALSE(run.finished);
  EXPECT_EQ(run.stepsDone, 1u);
  EXPECT_EQ(run.dialogResult, 7) << "ended through WM_CLOSE";
}

TEST_F(SupportDriver, StepsGoOnInsideTheNestedLoopOfAMessageBox) {
  bool insideFirst = false, answeredInside = false;
  std::wstring text;
  const DialogDriver::Result run =
      DialogDriver::Run(OpenHelpTemplate,
                        {tvn_test::Do([&](HWND dialog) {
                           insideFirst = true;
                           MessageBoxW(dialog, L"nested", tvn_test::kMessageBoxCaption, MB_OK);
                           insideFirst = false;
                         }),
                         [&](HWND) {
                           HWND box = tvn_test::FindThreadMessageBox();
                           if (box == nullptr) return false;
                           text = tvn_test::MessageBoxText(box);
                           answeredInside = insideFirst;
                           PostMessageW(box, WM_COMMAND, IDOK, 0);
                           return true;
                         },
                         [](HWND) { return tvn_test::FindThreadMessageBox() == nullptr; }},
                        ClosingOptions());
  EXPECT_TRUE(run.finished);
  EXPECT_EQ(text, L"nested");
  EXPECT_TRUE(answeredInside) << "the second step ran while the first waited in the box";
}

TEST_F(SupportDriver, TheBoxAnswererAnswersABoxOfThisProcess) {
  tvn_test::BoxAnswerer answerer;
  EXPECT_EQ(MessageBoxW(nullptr, L"question", tvn_test::kMessageBoxCaption, MB_OK), IDOK);
  EXPECT_EQ(answerer.Finish(), L"question");

  tvn_test::BoxAnswerer idle;
  EXPECT_EQ(idle.Finish(), L"") << "no box, no text";
}

TEST_F(SupportDriver, ThreadWindowsAreFoundByClassCaptionAndControl) {
  const tvn::UniqueWindow shownWindow(CreateWindowExW(0, L"#32770", L"Tolvane", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100,
                                                      nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
  const tvn::UniqueWindow hiddenWindow(CreateWindowExW(0, L"#32770", L"hidden one", WS_POPUP, 0, 0, 100, 100, nullptr,
                                                       nullptr, GetModuleHandleW(nullptr), nullptr));
  HWND shown = shownWindow.get();
  ASSERT_NE(shown, nullptr);
  ASSERT_NE(hiddenWindow.get(), nullptr);
  EXPECT_EQ(tvn_test::FindThreadWindow(L"#32770", L"Tolvane"), shown);
  EXPECT_EQ(tvn_test::FindThreadWindow(L"#32770", L"hidden one"), nullptr) << "hidden windows are not found";
  EXPECT_EQ(tvn_test::FindThreadMessageBox(), nullptr) << "the caption alone does not make a message box";
  HWND text = CreateWindowExW(0, L"Static", L"the text", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, shown,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(tvn_test::kMessageBoxTextId)),
                              GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(tvn_test::FindThreadMessageBox(), shown);
  EXPECT_EQ(tvn_test::FindThreadDialog(tvn_test::kMessageBoxTextId), shown);
  EXPECT_EQ(tvn_test::MessageBoxText(shown), L"the text");
  EXPECT_EQ(tvn_test::TextOf(shown), L"Tolvane");
  RECT inParent = tvn_test::RectInParent(text);
  EXPECT_EQ(inParent.right - inParent.left, 50);
  EXPECT_EQ(inParent.bottom - inParent.top, 20);
}

}  // namespace
