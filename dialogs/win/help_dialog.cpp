#include "dialogs/win/help_dialog.h"

#include "base/win/error_box.h"
#include "base/win/wide.h"
#include "description/win/description.h"
#include "dialogs/logon_logic.h"
#include "dialogs/win/apply.h"
#include "dialogs/win/dialog_layout.h"
#include "launching/win/process.h"
#include "resources/resource.h"

namespace tvn {

namespace {

// Only one help dialog can be open in a process, so its working state is static.
struct HelpState {
  UiDescription ui;  // only the help section is used
  Win32DialogLayout layout;
  std::int32_t result = 0;
};

HelpState& State() {
  static HelpState state;
  return state;
}

void OnInitDialog(HWND dialog, const AppContext* context) {
  HelpState& state = State();
  state.result = 0;

  // Every opening starts from an empty section: nothing of an earlier opening
  // (released at its close) is ever applied again.
  ReleaseDescription(state.ui, kLoadHelp);
  state.ui.help = HelpDescription();
  if (context != nullptr && !context->keyName.empty()) {
    // The dialog opens whether or not the load succeeds.
    (void)LoadDescription(state.ui, kLoadHelp, context->keyName.text());
  }
  const HelpDescription& help = state.ui.help;

  ApplyDialogDescription(dialog, help.window);
  ApplyControlDescription(dialog, IDC_HELP_ICON, help.icon, ControlKind::Icon);
  ApplyControlDescription(dialog, IDC_HELP_ABOUT, help.about, ControlKind::Edit);
  ApplyControlDescription(dialog, IDC_HELP_DISCLAIMER, help.disclaimer, ControlKind::Edit);
  ApplyControlDescription(dialog, IDC_HELP_CLOSE, help.close, ControlKind::PushButton);
  ApplyControlDescription(dialog, IDC_HELP_DIAGNOSTICS, help.diagnostics, ControlKind::PushButton);

  state.layout.BindCentred(dialog);
  state.layout.AddControl(IDC_HELP_ICON, AnchorFixed, AnchorFixed);
  state.layout.AddControl(IDC_HELP_ABOUT, AnchorStretch, AnchorFixed);
  state.layout.AddControl(IDC_HELP_UPPER_SEPARATOR, AnchorStretch, AnchorFixed);
  state.layout.AddControl(IDC_HELP_DISCLAIMER, AnchorStretch, AnchorStretch);
  state.layout.AddControl(IDC_HELP_LOWER_SEPARATOR, AnchorStretch, AnchorMove);
  state.layout.AddControl(IDC_HELP_CLOSE, AnchorMove, AnchorMove);
  state.layout.AddControl(IDC_HELP_DIAGNOSTICS, AnchorFixed, AnchorMove);
}

void OnClose(HWND dialog) {
  HelpState& state = State();
  state.layout.Release();
  ReleaseDescription(state.ui, kLoadHelp);
  EndDialog(dialog, state.result);
}

}  // namespace

INT_PTR CALLBACK HelpDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(dialog, reinterpret_cast<const AppContext*>(lParam));
      return FALSE;  // the focus stays where the description put it
    case WM_COMMAND: {
      std::int32_t result = 0;
      if (HelpResultForCommand(LOWORD(wParam), HIWORD(wParam), result)) {
        State().result = result;
        SendMessageW(dialog, WM_CLOSE, 0, 0);
      }
      return FALSE;
    }
    case WM_SIZE: State().layout.OnSize(lParam); return FALSE;
    case WM_GETMINMAXINFO: State().layout.OnGetMinMaxInfo(lParam); return FALSE;
    case WM_CLOSE: OnClose(dialog); return FALSE;
    default: return FALSE;
  }
}

INT_PTR RunHelpDialog(HWND owner, const AppContext& context) {
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_HELP), owner, HelpDialogProc,
                         reinterpret_cast<LPARAM>(&context));
}

void OpenHelpFrom(HWND caller, const AppContext* context) {
  static const AppContext kEmptyContext;
  const AppContext& used = context != nullptr ? *context : kEmptyContext;
  switch (FollowUpForHelpResult(RunHelpDialog(caller, used))) {
    case HelpFollowUp::ReportOpenFailure: ShowError(caller, kKindWarning, true, true, nullptr); return;
    case HelpFollowUp::StartDiagnostics: {
      const Text tail(kDiagnosticsModeTail);
      if (StartProcess(W(used.exePath.text()), W(tail), 0, false)) {
        SendMessageW(caller, WM_CLOSE, 0, 0);
      } else {
        ShowError(caller, kKindWarning, true, true, nullptr);
      }
      return;
    }
    case HelpFollowUp::Nothing: return;
  }
}

}  // namespace tvn
