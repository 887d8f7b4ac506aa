#include "dialogs/win/logon_dialog.h"

#include <string>

#include "base/win/error_box.h"
#include "base/win/startup_trace.h"
#include "base/win/wide.h"
#include "dialogs/logon_logic.h"
#include "dialogs/win/apply.h"
#include "dialogs/win/dialog_actions.h"
#include "dialogs/win/help_dialog.h"
#include "launching/start_as_user.h"
#include "launching/win/process.h"
#include "launching/win/start_as_user.h"
#include "launching/win/successor.h"
#include "resources/resource.h"

namespace tvn {

namespace {

constexpr int kCredentialLimit = 511;  // characters of a typed credential

}  // namespace

INT_PTR LogonDialog::Run(HINSTANCE instance, HWND owner) { return RunModal(instance, IDD_LOGON, owner); }

Text LogonDialog::ExePath() const {
  const AppContext* context = description_.context;
  return context != nullptr ? context->exePath.text() : Text();
}

bool LogonDialog::IsTicked(int id) const { return SendDlgItemMessageW(window(), id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// Empties the password edit so that the typed text does not stay behind in
// the control's memory: the edit first gets filler of the same length, which
// it writes over the password in its own buffer, and only then the empty
// text. Emptying it at once would merely free the buffer with the password
// still in it.
void LogonDialog::ScrubPassword() const {
  HWND edit = GetDlgItem(window(), IDC_LOGON_PASSWORD);
  if (edit == nullptr) return;
  const int length = GetWindowTextLengthW(edit);
  if (length > 0) {
    const std::wstring filler(static_cast<std::size_t>(length), L'*');
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(filler.c_str()));
  }
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
  SendMessageW(edit, EM_EMPTYUNDOBUFFER, 0, 0);  // an undo must not bring the password back
}

void LogonDialog::UpdateCredentialControls() const {
  const bool useCurrent = IsTicked(IDC_LOGON_CURRENT_CREDENTIALS);
  const CredentialToggle toggle = DecideCredentialToggle(description_, useCurrent);
  for (const ControlEnable& control : toggle.controls) {
    EnableWindow(GetDlgItem(window(), control.id), control.enabled ? TRUE : FALSE);
  }
  if (toggle.untickLoadProfile) SendDlgItemMessageW(window(), IDC_LOGON_LOAD_PROFILE, BM_SETCHECK, BST_UNCHECKED, 0);
  if (toggle.clearPassword) ScrubPassword();
}

INT_PTR LogonDialog::OnInit() {
  TracePhase("dialog-created");
  const INT_PTR result = Initialise();
  TracePhase("dialog-initialised");
  return result;
}

INT_PTR LogonDialog::OnMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
  if (message == WM_SHOWWINDOW && wParam) TracePhase("dialog-shown");
  return FALSE;
}

INT_PTR LogonDialog::Initialise() {
  HWND dialog = window();
  BringToForeground(dialog);  // its result is not examined

  const LogonDescription& d = description_;
  ApplyDialogDescription(dialog, d.window);
  ApplyControlDescription(dialog, IDC_LOGON_ICON, d.systemIcon, ControlKind::Icon);
  ApplyControlDescription(dialog, IDC_LOGON_INFO, d.systemText, ControlKind::Edit);
  ApplyControlDescription(dialog, IDC_LOGON_DOMAIN_ICON, d.domainIcon, ControlKind::Icon);
  ApplyControlDescription(dialog, IDC_LOGON_DOMAIN_LABEL, d.domainLabel, ControlKind::Label);
  ApplyComboDescription(dialog, IDC_LOGON_DOMAIN, d.domain);
  ApplyControlDescription(dialog, IDC_LOGON_USER_ICON, d.userIcon, ControlKind::Icon);
  ApplyControlDescription(dialog, IDC_LOGON_USER_LABEL, d.userLabel, ControlKind::Label);
  ApplyComboDescription(dialog, IDC_LOGON_USER, d.user);
  ApplyControlDescription(dialog, IDC_LOGON_PASSWORD_ICON, d.passwordIcon, ControlKind::Icon);
  ApplyControlDescription(dialog, IDC_LOGON_PASSWORD_LABEL, d.passwordLabel, ControlKind::Label);
  ApplyControlDescription(dialog, IDC_LOGON_PASSWORD, d.password, ControlKind::Edit, kCredentialLimit);
  ApplyControlDescription(dialog, IDC_LOGON_IGNORE_UAC, d.ignoreUac, ControlKind::CheckBox);
  ApplyControlDescription(dialog, IDC_LOGON_LOAD_PROFILE, d.loadProfile, ControlKind::CheckBox);
  ApplyControlDescription(dialog, IDC_LOGON_CURRENT_CREDENTIALS, d.currentUser, ControlKind::CheckBox);
  ApplyControlDescription(dialog, IDC_LOGON_LOGON, d.logOn, ControlKind::PushButton);
  ApplyControlDescription(dialog, IDC_LOGON_CLOSE, d.close, ControlKind::PushButton);
  ApplyControlDescription(dialog, IDC_LOGON_HELP, d.help, ControlKind::PushButton);

  UpdateCredentialControls();
  return FALSE;  // the focus stays where the description put it
}

// The text of a control into `buffer` (units long, terminated; longer text is cut).
void LogonDialog::ReadText(int id, wchar_t* buffer, std::size_t units) const {
  buffer[0] = L'\0';
  SendDlgItemMessageW(window(), id, WM_GETTEXT, static_cast<WPARAM>(units), reinterpret_cast<LPARAM>(buffer));
  buffer[units - 1] = L'\0';
}

void LogonDialog::LogOn() const {
  WaitCursor wait;
  HWND dialog = window();
  const Text exePath = ExePath();
  const Text tail(kCommandModeTail);

  const LRESULT useCurrent = SendDlgItemMessageW(dialog, IDC_LOGON_CURRENT_CREDENTIALS, BM_GETCHECK, 0, 0);
  if (ChooseLogonPath(useCurrent, 0).path == LogonPath::CurrentAccount) {
    (void)StartCopyOrWarn(dialog, exePath, tail);
    return;
  }
  // Each credential in its own 512-unit buffer; all three are wiped before
  // they are freed, the password as soon as the start has returned.
  SecretBuffer domain(kCaptionUnits);
  SecretBuffer user(kCaptionUnits);
  SecretBuffer password(kCaptionUnits);
  ReadText(IDC_LOGON_DOMAIN, reinterpret_cast<wchar_t*>(domain.data()), domain.units());
  ReadText(IDC_LOGON_USER, reinterpret_cast<wchar_t*>(user.data()), user.units());
  ReadText(IDC_LOGON_PASSWORD, reinterpret_cast<wchar_t*>(password.data()), password.units());
  const LogonChoice choice =
      ChooseLogonPath(useCurrent, SendDlgItemMessageW(dialog, IDC_LOGON_LOAD_PROFILE, BM_GETCHECK, 0, 0));

  DWORD successor = 0;
  HANDLE successorProcess = nullptr;
  const bool started =
      StartAsUser(W(exePath), W(tail), choice.loadProfile, reinterpret_cast<const wchar_t*>(domain.data()),
                  reinterpret_cast<const wchar_t*>(user.data()), reinterpret_cast<const wchar_t*>(password.data()),
                  &successor, &successorProcess);
  password.Wipe();  // touches no last-error code
  if (started) {
    // The other account's copy may not open for this one by its id: the
    // handle of the start lets the wait end when that copy ends, as the
    // command-mode copy does at once when it restarts itself elevated.
    NoteSuccessor(successor, successorProcess);
    SendMessageW(dialog, WM_CLOSE, 0, 0);
  } else {
    ShowError(dialog, kKindWarning, true, true, nullptr);
    SetFocus(GetDlgItem(dialog, IDC_LOGON_PASSWORD));  // EN_SETFOCUS selects the whole password
  }
}

INT_PTR LogonDialog::OnCommand(int id, int code) {
  switch (id) {
    case IDCANCEL:
    case IDC_LOGON_CLOSE:
      if (code == BN_CLICKED) SendMessageW(window(), WM_CLOSE, 0, 0);
      break;
    case IDC_LOGON_PASSWORD:
      if (code == EN_SETFOCUS) SendDlgItemMessageW(window(), IDC_LOGON_PASSWORD, EM_SETSEL, 0, -1);
      break;
    case IDC_LOGON_CURRENT_CREDENTIALS:
      if (code == BN_CLICKED) UpdateCredentialControls();
      break;
    case IDC_LOGON_LOGON:
      if (code == BN_CLICKED) LogOn();
      break;
    case IDC_LOGON_HELP:
      if (code == BN_CLICKED) OpenHelpFrom(window(), description_.context);
      break;
    default: break;
  }
  return FALSE;
}

// Every way out comes here: Log on, Close, Esc, the close box, diagnostics.
INT_PTR LogonDialog::OnClose() {
  ScrubPassword();
  EndDialog(window(), 0);
  return FALSE;
}

}  // namespace tvn
