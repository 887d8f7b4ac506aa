#include "dialogs/win/help_dialog.h"

#include "base/win/error_box.h"
#include "base/win/wide.h"
#include "description/win/description.h"
#include "dialogs/logon_logic.h"
#include "dialogs/win/apply.h"
#include "dialogs/win/dialog_actions.h"
#include "resources/resource.h"

namespace tvn {

HelpDialog::~HelpDialog() { ReleaseDescription(ui_, kLoadHelp); }

INT_PTR HelpDialog::Run(HINSTANCE instance, HWND owner) { return RunModal(instance, IDD_HELP, owner); }

INT_PTR HelpDialog::OnInit() {
  HWND dialog = window();
  result_ = 0;

  // Every opening starts from an empty section: nothing of an earlier opening
  // (released at its close) is ever applied again.
  ReleaseDescription(ui_, kLoadHelp);
  ui_.help = HelpDescription();
  if (context_ != nullptr && !context_->keyName.empty()) {
    // The dialog opens whether or not the load succeeds.
    (void)LoadDescription(ui_, kLoadHelp, context_->keyName.text());
  }
  const HelpDescription& help = ui_.help;

  ApplyDialogDescription(dialog, help.window);
  ApplyControlDescription(dialog, IDC_HELP_ICON, help.icon, ControlKind::Icon);
  ApplyControlDescription(dialog, IDC_HELP_ABOUT, help.about, ControlKind::Edit);
  ApplyControlDescription(dialog, IDC_HELP_DISCLAIMER, help.disclaimer, ControlKind::Edit);
  ApplyControlDescription(dialog, IDC_HELP_CLOSE, help.close, ControlKind::PushButton);
  ApplyControlDescription(dialog, IDC_HELP_DIAGNOSTICS, help.diagnostics, ControlKind::PushButton);

  layout_.BindCentred(dialog);
  layout_.AddControl(IDC_HELP_ICON, AnchorFixed, AnchorFixed);
  layout_.AddControl(IDC_HELP_ABOUT, AnchorStretch, AnchorFixed);
  layout_.AddControl(IDC_HELP_UPPER_SEPARATOR, AnchorStretch, AnchorFixed);
  layout_.AddControl(IDC_HELP_DISCLAIMER, AnchorStretch, AnchorStretch);
  layout_.AddControl(IDC_HELP_LOWER_SEPARATOR, AnchorStretch, AnchorMove);
  layout_.AddControl(IDC_HELP_CLOSE, AnchorMove, AnchorMove);
  layout_.AddControl(IDC_HELP_DIAGNOSTICS, AnchorFixed, AnchorMove);
  return FALSE;  // the focus stays where the description put it
}

INT_PTR HelpDialog::OnCommand(int id, int code) {
  std::int32_t result = 0;
  if (HelpResultForCommand(id, code, result)) {
    result_ = result;
    SendMessageW(window(), WM_CLOSE, 0, 0);
  }
  return FALSE;
}

INT_PTR HelpDialog::OnClose() {
  layout_.Release();
  ReleaseDescription(ui_, kLoadHelp);
  EndDialog(window(), result_);
  return FALSE;
}

INT_PTR RunHelpDialog(HWND owner, const AppContext& context) {
  HelpDialog dialog(&context);
  return dialog.Run(GetModuleHandleW(nullptr), owner);
}

void OpenHelpFrom(HWND caller, const AppContext* context) {
  static const AppContext kEmptyContext;
  const AppContext& used = context != nullptr ? *context : kEmptyContext;
  switch (FollowUpForHelpResult(RunHelpDialog(caller, used))) {
    case HelpFollowUp::ReportOpenFailure: ShowError(caller, kKindWarning, true, true, nullptr); return;
    case HelpFollowUp::StartDiagnostics:
      (void)StartCopyOrWarn(caller, used.exePath.text(), Text(kDiagnosticsModeTail), CopyRole::Companion);
      return;
    case HelpFollowUp::Nothing: return;
  }
}

}  // namespace tvn
