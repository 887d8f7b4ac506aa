// The dialog base: the object kept with each window gets that window's
// messages, also with several dialogs open at once; and the step that starts
// a copy of the tool or warns.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/win/unique_handle.h"
#include "base/win/wide.h"
#include "dialogs/win/dialog_actions.h"
#include "dialogs/win/dialog_base.h"
#include "resources/resource.h"
#include "tests/wine/support/dialog_driver.h"
#include "tests/wine/support/files.h"
#include "tests/wine/support/records.h"
#include "tests/wine/support/windows.h"

namespace {

using tvn::DialogBase;

// Notes every handler call it gets.
class Probe final : public DialogBase {
 public:
  explicit Probe(LRESULT notifyAnswer) : notifyAnswer_(notifyAnswer) {}

  int inits = 0;
  int closes = 0;
  std::vector<int> commands;
  std::vector<UINT> notifications;
  std::vector<POINT> sizes;
  std::vector<UINT> others;

 protected:
  INT_PTR OnInit() override {
    ++inits;
    return TRUE;
  }
  INT_PTR OnCommand(int id, int code) override {
    commands.push_back(id * 1000 + code);
    return FALSE;
  }
  INT_PTR OnNotify(const NMHDR& header) override {
    notifications.push_back(header.code);
    SetMessageResult(notifyAnswer_);
    return TRUE;
  }
  INT_PTR OnClose() override {
    ++closes;
    return TRUE;  // stays open: the test destroys it
  }
  void OnSize(int width, int height) override { sizes.push_back(POINT{width, height}); }
  void OnMinTrackSize(MINMAXINFO& info) override {
    info.ptMinTrackSize.x = static_cast<LONG>(notifyAnswer_);
    info.ptMinTrackSize.y = static_cast<LONG>(notifyAnswer_ + 1);
  }
  INT_PTR OnMessage(UINT message, WPARAM, LPARAM) override {
    if (message == WM_APP) others.push_back(message);
    return FALSE;
  }

 private:
  LRESULT notifyAnswer_;
};

// A modeless dialog, destroyed at the end of the scope.
class Modeless {
 public:
  Modeless(DialogBase& object, int templateId)
      : window_(object.CreateModeless(GetModuleHandleW(nullptr), templateId, nullptr)) {}
  HWND get() const { return window_.get(); }
  void Destroy() { window_.reset(); }

 private:
  tvn::UniqueWindow window_;
};

INT_PTR CALLBACK PlainProcedure(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

LRESULT Notify(HWND dialog, UINT code) {
  NMHDR header{};
  header.hwndFrom = dialog;
  header.idFrom = 1;
  header.code = code;
  return SendMessageW(dialog, WM_NOTIFY, 1, reinterpret_cast<LPARAM>(&header));
}

class DialogBaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!tvn_test::HaveDisplay()) GTEST_SKIP() << "needs a display";
  }
};

TEST_F(DialogBaseTest, TwoOpenDialogsEachReachTheirOwnObject) {
  Probe first(41);
  Probe second(73);
  Modeless a(first, IDD_HELP);
  Modeless b(second, IDD_HELP);
  ASSERT_NE(a.get(), nullptr);
  ASSERT_NE(b.get(), nullptr);
  EXPECT_EQ(first.window(), a.get());
  EXPECT_EQ(second.window(), b.get());
  EXPECT_EQ(DialogBase::FromWindow(a.get()), &first);
  EXPECT_EQ(DialogBase::FromWindow(b.get()), &second);
  EXPECT_EQ(first.inits, 1);
  EXPECT_EQ(second.inits, 1);

  SendMessageW(a.get(), WM_COMMAND, MAKEWPARAM(7, 1), 0);
  SendMessageW(b.get(), WM_COMMAND, MAKEWPARAM(8, 2), 0);
  SendMessageW(b.get(), WM_COMMAND, MAKEWPARAM(9, 0), 0);
  EXPECT_EQ(first.commands, std::vector<int>{7001});
  EXPECT_EQ(second.commands, (std::vector<int>{8002, 9000}));

  EXPECT_EQ(Notify(a.get(), 5), 41) << "the handler's answer is the message's result";
  EXPECT_EQ(Notify(b.get(), 6), 73);
  EXPECT_EQ(first.notifications, std::vector<UINT>{5});
  EXPECT_EQ(second.notifications, std::vector<UINT>{6});

  first.sizes.clear();
  second.sizes.clear();
  SendMessageW(b.get(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(321, 123));
  EXPECT_TRUE(first.sizes.empty());
  ASSERT_EQ(second.sizes.size(), 1u);
  EXPECT_EQ(second.sizes[0].x, 321);
  EXPECT_EQ(second.sizes[0].y, 123);

  MINMAXINFO limits{};
  SendMessageW(a.get(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  EXPECT_EQ(limits.ptMinTrackSize.x, 41);
  EXPECT_EQ(limits.ptMinTrackSize.y, 42);

  SendMessageW(a.get(), WM_APP, 0, 0);
  SendMessageW(a.get(), WM_CLOSE, 0, 0);
  EXPECT_EQ(first.others.size(), 1u);
  EXPECT_TRUE(second.others.empty());
  EXPECT_EQ(first.closes, 1);
  EXPECT_EQ(second.closes, 0);

  // Once a window is gone its object hears nothing more and knows it.
  a.Destroy();
  EXPECT_EQ(first.window(), nullptr);
  EXPECT_EQ(DialogBase::FromWindow(b.get()), &second);
}

TEST_F(DialogBaseTest, AWindowOfAnotherProcedureHasNoObject) {
  HWND plain = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_HELP), nullptr, PlainProcedure, 0);
  ASSERT_NE(plain, nullptr);
  // Whatever another dialog keeps in its user word is not taken for an object.
  SetWindowLongPtrW(plain, DWLP_USER, reinterpret_cast<LONG_PTR>(&plain));
  EXPECT_EQ(DialogBase::FromWindow(plain), nullptr);
  EXPECT_EQ(DialogBase::FromWindow(nullptr), nullptr);
  tvn::UniqueWindow destroyed(plain);
}

TEST_F(DialogBaseTest, AModalRunEndsWithTheResultItsObjectGives) {
  class EndsWithFive final : public DialogBase {
   protected:
    INT_PTR OnClose() override {
      EndDialog(window(), 5);
      return TRUE;
    }
  } object;
  tvn_test::DialogDriver::Options options;
  options.find = [] { return tvn_test::FindThreadDialog(IDC_HELP_DIAGNOSTICS); };
  options.closeAfterLastStep = true;
  HWND seen = nullptr;
  const tvn_test::DialogDriver::Result run = tvn_test::DialogDriver::Run(
      [&] { return object.RunModal(GetModuleHandleW(nullptr), IDD_HELP, nullptr); },
      {tvn_test::Do([&](HWND dialog) { seen = DialogBase::FromWindow(dialog) == &object ? dialog : nullptr; })},
      options);
  EXPECT_TRUE(run.finished);
  EXPECT_EQ(run.dialogResult, 5);
  EXPECT_NE(seen, nullptr);
  EXPECT_EQ(object.window(), nullptr) << "the ended dialog is no longer the object's";
  EXPECT_EQ(object.RunModal(GetModuleHandleW(nullptr), 9999, nullptr), -1) << "no such template";
}

// --- Starting a copy of the tool, or warning --------------------------------

class StartCopy : public DialogBaseTest {
 protected:
  void SetUp() override {
    DialogBaseTest::SetUp();
    if (IsSkipped()) return;
    if (!tvn_test::Exists(tvn_test::RecorderPath())) GTEST_SKIP() << "needs tvn_record.exe";
  }
  tvn_test::RecordFile recordFile{tvn_test::TempDir() + L"tvn_start_copy_record.log"};
};

TEST_F(StartCopy, AFailedStartWarnsAndTheDialogStaysOpen) {
  Probe probe(0);
  Modeless dialog(probe, IDD_HELP);
  ASSERT_NE(dialog.get(), nullptr);
  const tvn::Text missing = tvn::ToText((tvn_test::TempDir() + L"tvn_no_such_copy.exe").c_str());

  tvn_test::BoxAnswerer answerer;
  SetLastError(0);
  const bool started = tvn::StartCopyOrWarn(dialog.get(), missing, tvn::Text(u" c"));
  const DWORD error = GetLastError();
  const std::wstring box = answerer.Finish();

  EXPECT_FALSE(started);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << "the start's own error is kept";
  EXPECT_EQ(box.rfind(L"Error (2): ", 0), 0u) << tvn_test::Utf8(box);
  EXPECT_EQ(probe.closes, 0);
  EXPECT_TRUE(IsWindow(dialog.get()));
  EXPECT_TRUE(recordFile.Records().empty());
}

TEST_F(StartCopy, AStartedCopyClosesTheDialog) {
  Probe probe(0);
  Modeless dialog(probe, IDD_HELP);
  ASSERT_NE(dialog.get(), nullptr);
  const tvn::Text recorder = tvn::ToText(tvn_test::RecorderPath().c_str());

  EXPECT_TRUE(tvn::StartCopyOrWarn(dialog.get(), recorder, tvn::Text(u" a")));
  EXPECT_EQ(probe.closes, 1);
  std::vector<tvn_test::Record> records = recordFile.WaitFor(1, 10000);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].Text("command_line"), L" a") << records[0].line();
}

}  // namespace
