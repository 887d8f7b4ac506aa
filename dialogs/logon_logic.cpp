#include "dialogs/logon_logic.h"

namespace tvn {

CredentialToggle DecideCredentialToggle(const LogonDescription& description, bool useCurrentCredentials) {
  const std::array<bool, kCredentialControlCount> described = {
      description.domainIcon.enabled,   description.domainLabel.enabled,   description.domain.enabled,
      description.userIcon.enabled,     description.userLabel.enabled,     description.user.enabled,
      description.passwordIcon.enabled, description.passwordLabel.enabled, description.password.enabled,
      description.loadProfile.enabled};
  CredentialToggle toggle;
  for (int i = 0; i < kCredentialControlCount; ++i) {
    const std::size_t index = static_cast<std::size_t>(i);
    toggle.controls[index].id = kCredentialControlIds[index];
    toggle.controls[index].enabled = useCurrentCredentials ? false : described[index];
  }
  toggle.untickLoadProfile = useCurrentCredentials;
  toggle.clearPassword = useCurrentCredentials;
  return toggle;
}

LogonChoice ChooseLogonPath(std::intptr_t useCurrentCheck, std::intptr_t loadProfileCheck) {
  LogonChoice choice;
  if (useCurrentCheck == 1) {
    choice.path = LogonPath::CurrentAccount;
    return choice;
  }
  choice.path = LogonPath::OtherAccount;
  choice.loadProfile = loadProfileCheck == 1;
  return choice;
}

HelpFollowUp FollowUpForHelpResult(std::intptr_t result) {
  if (result == -1) return HelpFollowUp::ReportOpenFailure;
  if (result == 1) return HelpFollowUp::StartDiagnostics;
  return HelpFollowUp::Nothing;
}

bool HelpResultForCommand(int controlId, int notification, std::int32_t& result) {
  if (notification != 0) return false;  // BN_CLICKED, and 0 for IDCANCEL from Esc
  switch (controlId) {
    case 2:     // IDCANCEL
    case 1505:  // Close
      result = 0;
      return true;
    case 1506:  // Diagnostics
      result = 1;
      return true;
    default: return false;
  }
}

}  // namespace tvn
