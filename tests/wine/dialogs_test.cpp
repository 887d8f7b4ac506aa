// The log-on and help dialogs from the real templates of this executable's
// resources, with descriptions loaded by the real loader from values the
// tests write under HKCU\Software\TVN\dialogs-<pid>-<n>. Each dialog runs
// modally on the test thread and is driven from inside its own message loop
// by the steps of the test.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/text.h"
#include "base/win/unique_handle.h"
#include "base/win/wide.h"
#include "description/records.h"
#include "description/win/description.h"
#include "dialogs/win/help_dialog.h"
#include "dialogs/win/logon_dialog.h"
#include "resources/resource.h"
#include "tests/wine/support/dialog_driver.h"
#include "tests/wine/support/files.h"
#include "tests/wine/support/registry.h"
#include "tests/wine/support/windows.h"

namespace tvn {
namespace {

using tvn_test::ClickButton;
using tvn_test::DialogDriver;
using tvn_test::FindThreadDialog;
using tvn_test::FindThreadMessageBox;
using tvn_test::FocusedId;
using tvn_test::FontOf;
using tvn_test::HaveDisplay;
using tvn_test::MessageBoxText;
using tvn_test::RectInParent;
using tvn_test::RunTemplate;
using tvn_test::ScratchKey;
using tvn_test::SystemFolder;
using tvn_test::TextOf;
using tvn_test::WideFromUtf8;

// ---------------------------------------------------------------------------
// Log-on dialog

class LogonDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveDisplay()) GTEST_SKIP() << "needs a display";
    ASSERT_TRUE(key.valid());
    key.Set("0#0", "shell32.dll#104");
    key.Set("0#3", "TVN3: Авторизация");
    key.Set("0.0#0", "shell32.dll#15");
    key.Set("0.1#3", "System: test");
    key.Set("0.1#7", "arial#14");
    key.Set("0.2#0", "shell32.dll#18");
    key.Set("0.3#3", "Domain:");
    key.Set("0.3#7", "arial#15#1");
    key.Set("0.3#9", "1");  // a label never takes the focus
    key.Set("0.4#20", "2");
    key.Set("0.4#21", "1");
    key.Set("0.4.0#3", "CORP");
    key.Set("0.4.1#3", "HOME");
    key.Set("0.4#7", "arial#14");
    key.Set("0.4#9", "1");
    key.Set("0.5#0", "shell32.dll#44");
    key.Set("0.5#8", "1");  // the user icon starts disabled
    key.Set("0.6#3", "User:");
    key.Set("0.7#20", "1");
    key.Set("0.7.0#3", "admin");
    key.Set("0.9#3", "Password:");
    key.Set("0.11#3", "Ignore UAC");
    key.Set("0.11#22", "1");
    key.Set("0.12#3", "Load profile");
    key.Set("0.13#3", "Use current credentials");
    key.Set("0.14#3", "Log on");
    key.Set("0.15#3", "Close");
    key.Set("0.16#3", "?");
    context.exePath.Allocate(kPathUnits);
    context.keyName.Allocate(kCaptionUnits);
    context.keyName.Set(key.subKey());
  }
  void TearDown() override { ReleaseDescription(ui, kLoadLogon); }

  // Loads the log-on section and runs the dialog with `steps`.
  INT_PTR Run(std::vector<DialogDriver::Step> steps) {
    EXPECT_TRUE(LoadDescription(ui, kLoadLogon, key.subKey()));
    ui.logon.context = &context;
    const DialogDriver::Result run = DialogDriver::Run(
        [this] {
          LogonDialog logon(ui.logon);
          return logon.Run(GetModuleHandleW(nullptr), nullptr);
        },
        std::move(steps));
    EXPECT_FALSE(run.timedOut) << "the steps did not finish in time";
    EXPECT_TRUE(run.finished);
    ReleaseDescription(ui, kLoadLogon);
    return run.dialogResult;
  }

  static std::wstring SystemExe(const wchar_t* name) { return SystemFolder() + L"\\" + name; }

  ScratchKey key{"dialogs"};
  UiDescription ui;
  AppContext context;
  HWND dialog = nullptr;
  DialogDriver::Step findDialog = [this](HWND) { return (dialog = FindThreadDialog(IDC_LOGON_LOGON)) != nullptr; };
  DialogDriver::Step closeBox = [this](HWND) {
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    return true;
  };
};

const int kCredentialIds[] = {IDC_LOGON_DOMAIN_ICON,   IDC_LOGON_DOMAIN_LABEL,   IDC_LOGON_DOMAIN,
                              IDC_LOGON_USER_ICON,     IDC_LOGON_USER_LABEL,     IDC_LOGON_USER,
                              IDC_LOGON_PASSWORD_ICON, IDC_LOGON_PASSWORD_LABEL, IDC_LOGON_PASSWORD,
                              IDC_LOGON_LOAD_PROFILE};

TEST_F(LogonDialogTest, AppliesTheDescription) {
  INT_PTR result =
      Run({findDialog,
           [this](HWND) {
             EXPECT_EQ(TextOf(dialog), WideFromUtf8("TVN3: Авторизация"));
             EXPECT_NE(SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0), 0);
             for (int id : {IDC_LOGON_ICON, IDC_LOGON_DOMAIN_ICON, IDC_LOGON_USER_ICON}) {
               EXPECT_NE(SendDlgItemMessageW(dialog, id, STM_GETICON, 0, 0), 0) << id;
             }
             EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_LOGON_INFO)), L"System: test");
             EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_LOGON_DOMAIN_LABEL)), L"Domain:");
             LOGFONTW label = FontOf(GetDlgItem(dialog, IDC_LOGON_DOMAIN_LABEL));
             EXPECT_EQ(std::wstring(label.lfFaceName), L"arial");
             EXPECT_EQ(label.lfHeight, 15);
             EXPECT_EQ(label.lfWeight, 700);
             HWND domain = GetDlgItem(dialog, IDC_LOGON_DOMAIN);
             EXPECT_EQ(SendMessageW(domain, CB_GETCOUNT, 0, 0), 2);
             EXPECT_EQ(SendMessageW(domain, CB_GETCURSEL, 0, 0), 1);
             EXPECT_EQ(TextOf(domain), L"HOME");
             HWND user = GetDlgItem(dialog, IDC_LOGON_USER);
             EXPECT_EQ(SendMessageW(user, CB_GETCOUNT, 0, 0), 1);
             EXPECT_EQ(TextOf(user), L"admin");
             EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_LOGON_PASSWORD, EM_GETLIMITTEXT, 0, 0), 511);
             EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_LOGON_IGNORE_UAC, BM_GETCHECK, 0, 0), BST_CHECKED);
             EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_LOGON_IGNORE_UAC)));
             EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_LOGON_LOAD_PROFILE, BM_GETCHECK, 0, 0), BST_UNCHECKED);
             EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_LOGON_CURRENT_CREDENTIALS)), L"Use current credentials");
             EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_LOGON_LOGON)), L"Log on");
             EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_LOGON_HELP)), L"?");
             EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_LOGON_USER_ICON)));
             for (int id : {IDC_LOGON_ICON, IDC_LOGON_INFO, IDC_LOGON_DOMAIN_ICON, IDC_LOGON_DOMAIN_LABEL,
                            IDC_LOGON_DOMAIN, IDC_LOGON_USER_LABEL, IDC_LOGON_USER, IDC_LOGON_PASSWORD,
                            IDC_LOGON_LOAD_PROFILE, IDC_LOGON_CURRENT_CREDENTIALS, IDC_LOGON_LOGON, IDC_LOGON_CLOSE}) {
               EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, id))) << id;
             }
             EXPECT_EQ(FocusedId(dialog), IDC_LOGON_DOMAIN) << "the focus starts in the domain box";
             return true;
           },
           closeBox});
  EXPECT_EQ(result, 0);
}

TEST_F(LogonDialogTest, CurrentCredentialsToggle) {
  INT_PTR result =
      Run({findDialog, [this](HWND) {
             SetDlgItemTextW(dialog, IDC_LOGON_PASSWORD, L"typed");
             SendDlgItemMessageW(dialog, IDC_LOGON_LOAD_PROFILE, BM_SETCHECK, BST_CHECKED, 0);
             SendDlgItemMessageW(dialog, IDC_LOGON_CURRENT_CREDENTIALS, BM_CLICK, 0, 0);
             EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_LOGON_CURRENT_CREDENTIALS, BM_GETCHECK, 0, 0), BST_CHECKED);
             for (int id : kCredentialIds) EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, id))) << id;
             EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_LOGON_PASSWORD)), L"");
             EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_LOGON_LOAD_PROFILE, BM_GETCHECK, 0, 0), BST_UNCHECKED);
             for (int id : {IDC_LOGON_ICON, IDC_LOGON_INFO, IDC_LOGON_CURRENT_CREDENTIALS, IDC_LOGON_LOGON,
                            IDC_LOGON_CLOSE, IDC_LOGON_HELP}) {
               EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, id))) << id << " is never touched";
             }

             SendDlgItemMessageW(dialog, IDC_LOGON_CURRENT_CREDENTIALS, BM_CLICK, 0, 0);  // untick
             EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_LOGON_CURRENT_CREDENTIALS, BM_GETCHECK, 0, 0), BST_UNCHECKED);
             for (int id : kCredentialIds) {
               EXPECT_EQ(IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE, id != IDC_LOGON_USER_ICON) << id;
             }
             EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_LOGON_PASSWORD)), L"") << "the password does not come back";
             EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_LOGON_LOAD_PROFILE, BM_GETCHECK, 0, 0), BST_UNCHECKED);
             // Esc goes to the focused control and becomes IDCANCEL in the dialog manager.
             PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
             return true;
           }});
  EXPECT_EQ(result, 0);
}

TEST_F(LogonDialogTest, DescribedTickOpensWithCredentialsDisabled) {
  key.Set("0.13#22", "1");
  key.Set("0.12#22", "1");
  key.Set("0.10#3", "preset");
  INT_PTR result =
      Run({findDialog, [this](HWND) {
             for (int id : kCredentialIds) EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, id))) << id;
             EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_LOGON_LOAD_PROFILE, BM_GETCHECK, 0, 0), BST_UNCHECKED);
             EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_LOGON_PASSWORD)), L"");
             ClickButton(dialog, IDC_LOGON_CLOSE);
             return true;
           }});
  EXPECT_EQ(result, 0);
}

TEST_F(LogonDialogTest, FailedLogOnWarnsAndSelectsThePassword) {
  std::wstring boxText;
  HWND box = nullptr;
  INT_PTR result = Run({findDialog,
                        [this](HWND) {
                          SetDlgItemTextW(dialog, IDC_LOGON_PASSWORD, L"secret");
                          SetFocus(GetDlgItem(dialog, IDC_LOGON_LOGON));
                          ClickButton(dialog, IDC_LOGON_LOGON);  // Wine cannot log on as another account
                          return true;
                        },
                        [&](HWND) {
                          box = FindThreadMessageBox();
                          if (box == nullptr) return false;
                          boxText = MessageBoxText(box);
                          EXPECT_EQ(GetWindow(box, GW_OWNER), dialog);
                          PostMessageW(box, WM_COMMAND, IDOK, 0);
                          return true;
                        },
                        [&](HWND) {
                          if (IsWindow(box)) return false;
                          EXPECT_EQ(FocusedId(dialog), IDC_LOGON_PASSWORD);
                          DWORD start = 1, end = 0;
                          SendDlgItemMessageW(dialog, IDC_LOGON_PASSWORD, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                                              reinterpret_cast<LPARAM>(&end));
                          EXPECT_EQ(start, 0u);
                          EXPECT_EQ(end, 6u) << "the whole password is selected";
                          EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_LOGON_USER)), L"admin") << "fields stay as they were";
                          EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_LOGON_PASSWORD)), L"secret");
                          return true;
                        },
                        closeBox});
  EXPECT_EQ(result, 0);
  // Wine's CreateProcessWithLogonW fails without an error code; the box names
  // a real failure instead of "completed successfully".
  EXPECT_EQ(boxText.rfind(L"Error (31): ", 0), 0u) << std::string(boxText.begin(), boxText.end());
}

TEST_F(LogonDialogTest, CurrentCredentialsStartTheCommandCopy) {
  // A missing program: the warning box, and the dialog stays.
  context.exePath.Set(FromAscii("C:\\no\\such\\dir\\TVN.exe"));
  std::wstring boxText;
  INT_PTR result = Run({findDialog,
                        [this](HWND) {
                          SendDlgItemMessageW(dialog, IDC_LOGON_CURRENT_CREDENTIALS, BM_CLICK, 0, 0);
                          ClickButton(dialog, IDC_LOGON_LOGON);
                          return true;
                        },
                        tvn_test::AnswerMessageBox(&boxText),
                        [this](HWND) { return FindThreadMessageBox() == nullptr && IsWindow(dialog); }, closeBox});
  EXPECT_EQ(result, 0);
  EXPECT_EQ(boxText.rfind(L"Error (3): ", 0), 0u) << std::string(boxText.begin(), boxText.end());

  // A program that exists: it is started and the dialog closes by itself.
  context.exePath.Set(ToText(SystemExe(L"hostname.exe").c_str()));
  result = Run({findDialog, [this](HWND) {
                  SendDlgItemMessageW(dialog, IDC_LOGON_CURRENT_CREDENTIALS, BM_CLICK, 0, 0);
                  ClickButton(dialog, IDC_LOGON_LOGON);
                  return true;
                }});
  EXPECT_EQ(result, 0);
}

TEST_F(LogonDialogTest, HelpOpensOverTheDialogAndDiagnosticsClosesIt) {
  key.Set("2#3", "Help caption");
  context.exePath.Set(ToText(SystemExe(L"hostname.exe").c_str()));
  HWND help = nullptr;
  INT_PTR result = Run({findDialog,
                        [this](HWND) {
                          ClickButton(dialog, IDC_LOGON_HELP);
                          return true;
                        },
                        [&](HWND) {
                          help = FindThreadDialog(IDC_HELP_DIAGNOSTICS);
                          if (help == nullptr) return false;
                          EXPECT_EQ(TextOf(help), L"Help caption");
                          EXPECT_EQ(GetWindow(help, GW_OWNER), dialog);
                          EXPECT_FALSE(IsWindowEnabled(dialog)) << "the log-on dialog waits for the help dialog";
                          PostMessageW(help, WM_COMMAND, MAKEWPARAM(IDC_HELP_CLOSE, BN_CLICKED), 0);
                          return true;
                        },
                        [&](HWND) {
                          if (IsWindow(help)) return false;
                          EXPECT_TRUE(IsWindowEnabled(dialog)) << "closing the help changes nothing else";
                          ClickButton(dialog, IDC_LOGON_HELP);
                          return true;
                        },
                        [&](HWND) {
                          help = FindThreadDialog(IDC_HELP_DIAGNOSTICS);
                          if (help == nullptr) return false;
                          PostMessageW(help, WM_COMMAND, MAKEWPARAM(IDC_HELP_DIAGNOSTICS, BN_CLICKED), 0);
                          return true;  // the diagnostics copy starts and the log-on dialog closes too
                        }});
  EXPECT_EQ(result, 0);
}

TEST_F(LogonDialogTest, EscCloseAndTheCloseBoxEndWithZero) {
  for (int way = 0; way < 3; ++way) {
    INT_PTR result = Run({findDialog, [this, way](HWND) {
                            if (way == 0) PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
                            if (way == 1) ClickButton(dialog, IDC_LOGON_CLOSE);
                            if (way == 2) PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
                            return true;
                          }});
    EXPECT_EQ(result, 0) << way;
  }
}

// Records every text that reaches the password edit through WM_SETTEXT, by
// subclassing it from inside the dialog's own thread.
class PasswordTexts {
 public:
  static void Watch(HWND dialog) {
    texts().clear();
    HWND edit = GetDlgItem(dialog, IDC_LOGON_PASSWORD);
    previous() = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PasswordTexts::Proc)));
  }
  static std::vector<std::wstring>& texts() {
    static std::vector<std::wstring> seen;
    return seen;
  }

 private:
  static WNDPROC& previous() {
    static WNDPROC proc = nullptr;
    return proc;
  }
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT) texts().push_back(lParam != 0 ? reinterpret_cast<const wchar_t*>(lParam) : L"");
    return CallWindowProcW(previous(), window, message, wParam, lParam);
  }
};

// The password is overwritten with filler of its own length, then emptied.
void ExpectScrubbed(const std::vector<std::wstring>& texts, const std::wstring& password, const char* way) {
  ASSERT_EQ(texts.size(), 2u) << way;
  EXPECT_EQ(texts[0].size(), password.size()) << way;
  EXPECT_EQ(texts[0].find_first_of(password), std::wstring::npos) << way << ": the filler holds no typed character";
  EXPECT_EQ(texts[1], L"") << way;
}

TEST_F(LogonDialogTest, ThePasswordIsOverwrittenBeforeTheDialogEnds) {
  const std::wstring password = L"Pa55-w0rd!";
  const char* ways[] = {"Esc", "Close", "close box", "diagnostics"};
  key.Set("2#3", "Help caption");
  context.exePath.Set(ToText(SystemExe(L"hostname.exe").c_str()));
  for (int way = 0; way < 4; ++way) {
    std::vector<DialogDriver::Step> steps = {findDialog, [&](HWND) {
                                               SetDlgItemTextW(dialog, IDC_LOGON_PASSWORD, password.c_str());
                                               PasswordTexts::Watch(dialog);
                                               if (way == 0) PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
                                               if (way == 1) ClickButton(dialog, IDC_LOGON_CLOSE);
                                               if (way == 2) PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
                                               if (way == 3) ClickButton(dialog, IDC_LOGON_HELP);
                                               return true;
                                             }};
    if (way == 3) {
      steps.push_back([&](HWND) {
        HWND help = FindThreadDialog(IDC_HELP_DIAGNOSTICS);
        if (help == nullptr) return false;
        EXPECT_TRUE(PasswordTexts::texts().empty()) << "the help dialog leaves the password";
        PostMessageW(help, WM_COMMAND, MAKEWPARAM(IDC_HELP_DIAGNOSTICS, BN_CLICKED), 0);
        return true;
      });
    }
    INT_PTR result = Run(std::move(steps));
    EXPECT_EQ(result, 0);
    ExpectScrubbed(PasswordTexts::texts(), password, ways[way]);
  }

  // Ticking "use current credentials" clears the box the same way.
  Run({findDialog, [&](HWND) {
         // Typed as a user types: the edit control can undo it.
         SendDlgItemMessageW(dialog, IDC_LOGON_PASSWORD, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"abc"));
         PasswordTexts::Watch(dialog);
         SendDlgItemMessageW(dialog, IDC_LOGON_CURRENT_CREDENTIALS, BM_CLICK, 0, 0);
         ExpectScrubbed(PasswordTexts::texts(), L"abc", "credential toggle");
         EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_LOGON_PASSWORD)), L"");
         EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_LOGON_PASSWORD, EM_CANUNDO, 0, 0), 0) << "nothing left to undo";
         SendDlgItemMessageW(dialog, IDC_LOGON_PASSWORD, EM_UNDO, 0, 0);
         EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_LOGON_PASSWORD)), L"") << "an undo brings no password back";
         ClickButton(dialog, IDC_LOGON_CLOSE);
         return true;
       }});
}

// ---------------------------------------------------------------------------
// Help dialog

class HelpDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveDisplay()) GTEST_SKIP() << "needs a display";
    ASSERT_TRUE(key.valid());
    key.Set("2#0", "shell32.dll#23");
    key.Set("2#3", "About Tolvane");
    key.Set("2.0#0", "shell32.dll#23");
    key.Set("2.1#7", "arial#14");
    key.Set("2.2#3", "No warranty of any kind.");
    key.Set("2.2#7", "arial#13");
    key.Set("2.3#3", "Close");
    key.Set("2.3#7", "arial#14#1");
    key.Set("2.3#9", "1");
    key.Set("2.4#3", "Diagnostics");
    key.Set("2.4#7", "arial#14");
    context.keyName.Allocate(kCaptionUnits);
    context.keyName.Set(key.subKey());
  }

  INT_PTR Run(std::vector<DialogDriver::Step> steps) {
    const DialogDriver::Result run =
        DialogDriver::Run([this] { return RunHelpDialog(nullptr, context); }, std::move(steps));
    EXPECT_FALSE(run.timedOut) << "the steps did not finish in time";
    EXPECT_TRUE(run.finished);
    return run.dialogResult;
  }

  ScratchKey key{"dialogs"};
  AppContext context;
  HWND dialog = nullptr;
  DialogDriver::Step findDialog = [this](HWND) { return (dialog = FindThreadDialog(IDC_HELP_DIAGNOSTICS)) != nullptr; };
};

TEST_F(HelpDialogTest, ButtonsGiveTheResult) {
  EXPECT_EQ(Run({findDialog,
                 [this](HWND) {
                   // Another notification from the buttons changes nothing.
                   SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_HELP_DIAGNOSTICS, BN_DOUBLECLICKED), 0);
                   SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_HELP_CLOSE, BN_SETFOCUS), 0);
                   EXPECT_TRUE(IsWindow(dialog));
                   ClickButton(dialog, IDC_HELP_DIAGNOSTICS);
                   return true;
                 }}),
            1);
  EXPECT_EQ(Run({findDialog,
                 [this](HWND) {
                   ClickButton(dialog, IDC_HELP_CLOSE);
                   return true;
                 }}),
            0)
      << "a new opening starts again from 0";
  EXPECT_EQ(Run({findDialog,
                 [this](HWND) {
                   PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
                   return true;
                 }}),
            0);
  EXPECT_EQ(Run({findDialog,
                 [this](HWND) {
                   PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
                   return true;
                 }}),
            0);
}

TEST_F(HelpDialogTest, LoadsAndReleasesItsSectionAtEachOpening) {
  HFONT firstFont = nullptr;
  EXPECT_EQ(Run({findDialog,
                 [&](HWND) {
                   EXPECT_EQ(TextOf(dialog), L"About Tolvane");
                   EXPECT_NE(SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0), 0);
                   EXPECT_NE(SendDlgItemMessageW(dialog, IDC_HELP_ICON, STM_GETICON, 0, 0), 0);
                   EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_HELP_ABOUT)).rfind(L"Tolvane 3.1 (build 15)\r\n", 0), 0u);
                   EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_HELP_DISCLAIMER)), L"No warranty of any kind.");
                   EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_HELP_CLOSE)), L"Close");
                   EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_HELP_DIAGNOSTICS)), L"Diagnostics");
                   EXPECT_EQ(FontOf(GetDlgItem(dialog, IDC_HELP_CLOSE)).lfWeight, 700);
                   EXPECT_EQ(FocusedId(dialog), IDC_HELP_CLOSE);
                   firstFont = reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, IDC_HELP_CLOSE, WM_GETFONT, 0, 0));
                   // Enter on the focused Close ends with 0.
                   PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
                   return true;
                 }}),
            0);
  ASSERT_NE(firstFont, nullptr);
  EXPECT_EQ(GetObjectType(firstFont), 0u) << "the section's font was deleted at the close";

  key.Set("2#3", "Changed between openings");
  key.Set("2.3#9", "0");
  key.Set("2.4#9", "1");
  EXPECT_EQ(Run({findDialog,
                 [&](HWND) {
                   EXPECT_EQ(TextOf(dialog), L"Changed between openings");
                   EXPECT_EQ(FocusedId(dialog), IDC_HELP_DIAGNOSTICS);
                   EXPECT_NE(reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, IDC_HELP_CLOSE, WM_GETFONT, 0, 0)),
                             firstFont);
                   ClickButton(dialog, IDC_HELP_CLOSE);
                   return true;
                 }}),
            0);
}

TEST_F(HelpDialogTest, MissingSectionOpensEmptyAndDisabled) {
  context.keyName.Set(FromAscii("Software\\TVN\\no-such-key-for-the-help-test"));
  EXPECT_EQ(
      Run({findDialog,
           [this](HWND) {
             EXPECT_EQ(TextOf(dialog), L"");
             EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_HELP_CLOSE)), L"");
             for (int id : {IDC_HELP_ICON, IDC_HELP_ABOUT, IDC_HELP_DISCLAIMER, IDC_HELP_CLOSE, IDC_HELP_DIAGNOSTICS}) {
               EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, id))) << id;
             }
             // The procedure focuses nothing; on activation the dialog manager may still put the
             // focus on its first child (Wine picks the separator line), never on a described control.
             const int focused = FocusedId(dialog);
             for (int id : {IDC_HELP_ICON, IDC_HELP_ABOUT, IDC_HELP_DISCLAIMER, IDC_HELP_CLOSE, IDC_HELP_DIAGNOSTICS})
               EXPECT_NE(focused, id);
             PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
             return true;
           }}),
      0);
}

TEST_F(HelpDialogTest, ResizingFollowsTheAnchorsAndStopsAtTheOpeningSize) {
  const int ids[] = {IDC_HELP_ICON,       IDC_HELP_ABOUT,           IDC_HELP_UPPER_SEPARATOR,
                     IDC_HELP_DISCLAIMER, IDC_HELP_LOWER_SEPARATOR, IDC_HELP_CLOSE,
                     IDC_HELP_DIAGNOSTICS};
  RECT before[7] = {};
  RECT window = {};
  EXPECT_EQ(Run({findDialog,
                 [&](HWND) {
                   for (int i = 0; i < 7; ++i) before[i] = RectInParent(GetDlgItem(dialog, ids[i]));
                   GetWindowRect(dialog, &window);
                   const int width = window.right - window.left;
                   const int height = window.bottom - window.top;
                   // Centred on the primary screen at Bind.
                   EXPECT_EQ(window.left, GetSystemMetrics(SM_CXSCREEN) / 2 - width / 2);
                   EXPECT_EQ(window.top, GetSystemMetrics(SM_CYSCREEN) / 2 - height / 2);

                   MINMAXINFO info = {};
                   SendMessageW(dialog, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
                   EXPECT_EQ(info.ptMinTrackSize.x, width);
                   EXPECT_EQ(info.ptMinTrackSize.y, height);

                   SetWindowPos(dialog, nullptr, 0, 0, width + 40, height + 30, SWP_NOMOVE | SWP_NOZORDER);
                   // {dx, dy, dw, dh} per control, in the order of `ids`.
                   const int expected[7][4] = {{0, 0, 0, 0},   {0, 0, 40, 0},  {0, 0, 40, 0}, {0, 0, 40, 30},
                                               {0, 30, 40, 0}, {40, 30, 0, 0}, {0, 30, 0, 0}};
                   for (int i = 0; i < 7; ++i) {
                     RECT now = RectInParent(GetDlgItem(dialog, ids[i]));
                     EXPECT_EQ(now.left - before[i].left, expected[i][0]) << ids[i];
                     EXPECT_EQ(now.top - before[i].top, expected[i][1]) << ids[i];
                     EXPECT_EQ((now.right - now.left) - (before[i].right - before[i].left), expected[i][2]) << ids[i];
                     EXPECT_EQ((now.bottom - now.top) - (before[i].bottom - before[i].top), expected[i][3]) << ids[i];
                   }

                   SetWindowPos(dialog, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
                   for (int i = 0; i < 7; ++i) {
                     RECT now = RectInParent(GetDlgItem(dialog, ids[i]));
                     EXPECT_TRUE(EqualRect(&now, &before[i])) << ids[i] << " returns to its template rectangle";
                   }

                   SetWindowPos(dialog, nullptr, 0, 0, width - 100, height - 80, SWP_NOMOVE | SWP_NOZORDER);
                   RECT small = {};
                   GetWindowRect(dialog, &small);
                   EXPECT_GE(small.right - small.left, width) << "not narrower than the opening size";
                   EXPECT_GE(small.bottom - small.top, height) << "not lower than the opening size";
                   PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
                   return true;
                 }}),
            0);
}

}  // namespace
}  // namespace tvn
