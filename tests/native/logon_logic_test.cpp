#include "dialogs/logon_logic.h"

#include <gtest/gtest.h>

#include "resources/resource.h"

namespace tvn {
namespace {

// A description whose ten credential controls alternate enabled and disabled,
// with every other control enabled, so a mix-up of records shows.
LogonDescription MixedDescription() {
  LogonDescription d;
  d.domainIcon.enabled = true;
  d.domainLabel.enabled = false;
  d.domain.enabled = true;
  d.userIcon.enabled = false;
  d.userLabel.enabled = true;
  d.user.enabled = false;
  d.passwordIcon.enabled = true;
  d.passwordLabel.enabled = false;
  d.password.enabled = true;
  d.loadProfile.enabled = false;
  d.systemIcon.enabled = d.systemText.enabled = d.ignoreUac.enabled = d.currentUser.enabled = true;
  return d;
}

TEST(CredentialToggle, TickedDisablesTheTenInOrderAndClears) {
  CredentialToggle t = DecideCredentialToggle(MixedDescription(), true);
  const int expected[] = {IDC_LOGON_DOMAIN_ICON,   IDC_LOGON_DOMAIN_LABEL,   IDC_LOGON_DOMAIN,
                          IDC_LOGON_USER_ICON,     IDC_LOGON_USER_LABEL,     IDC_LOGON_USER,
                          IDC_LOGON_PASSWORD_ICON, IDC_LOGON_PASSWORD_LABEL, IDC_LOGON_PASSWORD,
                          IDC_LOGON_LOAD_PROFILE};
  for (int i = 0; i < kCredentialControlCount; ++i) {
    EXPECT_EQ(t.controls[static_cast<std::size_t>(i)].id, expected[i]);
    EXPECT_FALSE(t.controls[static_cast<std::size_t>(i)].enabled) << expected[i];
  }
  EXPECT_TRUE(t.untickLoadProfile);
  EXPECT_TRUE(t.clearPassword);
}

TEST(CredentialToggle, UntickedRestoresEachDescribedFlagAndKeepsState) {
  CredentialToggle t = DecideCredentialToggle(MixedDescription(), false);
  const bool expected[] = {true, false, true, false, true, false, true, false, true, false};
  for (int i = 0; i < kCredentialControlCount; ++i) {
    EXPECT_EQ(t.controls[static_cast<std::size_t>(i)].enabled, expected[i])
        << t.controls[static_cast<std::size_t>(i)].id;
  }
  EXPECT_FALSE(t.untickLoadProfile);
  EXPECT_FALSE(t.clearPassword);

  LogonDescription allOn = MixedDescription();
  allOn.domainLabel.enabled = allOn.userIcon.enabled = allOn.user.enabled = true;
  allOn.passwordLabel.enabled = allOn.loadProfile.enabled = true;
  for (const ControlEnable& c : DecideCredentialToggle(allOn, false).controls) EXPECT_TRUE(c.enabled) << c.id;
}

TEST(LogonPathChoice, OnlyATickedBoxCounts) {
  EXPECT_EQ(ChooseLogonPath(1, 1).path, LogonPath::CurrentAccount);
  EXPECT_FALSE(ChooseLogonPath(1, 1).loadProfile);
  EXPECT_EQ(ChooseLogonPath(0, 1).path, LogonPath::OtherAccount);
  EXPECT_TRUE(ChooseLogonPath(0, 1).loadProfile);
  EXPECT_FALSE(ChooseLogonPath(0, 0).loadProfile);
  // BST_INDETERMINATE (2) is not ticked for either box.
  EXPECT_EQ(ChooseLogonPath(2, 2).path, LogonPath::OtherAccount);
  EXPECT_FALSE(ChooseLogonPath(2, 2).loadProfile);
}

TEST(HelpResults, ButtonsAndFollowUps) {
  std::int32_t result = 7;
  EXPECT_TRUE(HelpResultForCommand(2, 0, result));
  EXPECT_EQ(result, 0);
  result = 7;
  EXPECT_TRUE(HelpResultForCommand(IDC_HELP_CLOSE, 0, result));
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(HelpResultForCommand(IDC_HELP_DIAGNOSTICS, 0, result));
  EXPECT_EQ(result, 1);
  result = 7;
  EXPECT_FALSE(HelpResultForCommand(IDC_HELP_DIAGNOSTICS, 5, result));  // BN_DOUBLECLICKED and the like change nothing
  EXPECT_FALSE(HelpResultForCommand(IDC_HELP_CLOSE, 6, result));
  EXPECT_FALSE(HelpResultForCommand(IDC_HELP_ABOUT, 0, result));
  EXPECT_EQ(result, 7);

  EXPECT_EQ(FollowUpForHelpResult(-1), HelpFollowUp::ReportOpenFailure);
  EXPECT_EQ(FollowUpForHelpResult(0), HelpFollowUp::Nothing);
  EXPECT_EQ(FollowUpForHelpResult(1), HelpFollowUp::StartDiagnostics);
  EXPECT_EQ(FollowUpForHelpResult(2), HelpFollowUp::Nothing);
}

}  // namespace
}  // namespace tvn
