// The decisions of the log-on dialog, apart from its window: which controls
// the "use current credentials" box switches and to what, which way Log on
// starts the command-mode copy, and what a help dialog's result leads to.
#pragma once

#include <array>
#include <cstdint>

#include "base/text.h"
#include "description/records.h"

namespace tvn {

// Command-line tails of the copies the dialogs start (a blank, then the mode letter).
constexpr const char16_t* kCommandModeTail = u" c";
constexpr const char16_t* kDiagnosticsModeTail = u" t";

// The ten credential controls, in the order they are switched: the domain,
// user and password icons, labels and fields, then the load-profile box.
constexpr int kCredentialControlCount = 10;
constexpr std::array<int, kCredentialControlCount> kCredentialControlIds = {1202, 1203, 1204, 1205, 1206,
                                                                            1207, 1208, 1209, 1210, 1212};

struct ControlEnable {
  int id = 0;
  bool enabled = false;
};

// What UpdateCredentialControls does for one state of the 1213 box.
struct CredentialToggle {
  std::array<ControlEnable, kCredentialControlCount> controls;  // EnableWindow, in this order
  bool untickLoadProfile = false;                               // BM_SETCHECK 1212 to unticked
  bool clearPassword = false;                                   // empty text into 1210
};

// Ticked: all ten disabled, 1212 unticked, the password cleared. Unticked:
// each control gets the enabled flag of its own description, and the check
// state of 1212 and the password stay as they are.
CredentialToggle DecideCredentialToggle(const LogonDescription& description, bool useCurrentCredentials);

enum class LogonPath {
  CurrentAccount,  // StartProcess(exePath, " c", 0, no wait); the credential fields are not read
  OtherAccount,    // StartAsUser(exePath, " c", loadProfile, domain, user, password)
};

struct LogonChoice {
  LogonPath path = LogonPath::OtherAccount;
  bool loadProfile = false;  // only for OtherAccount
};

// The check states are BM_GETCHECK results: only 1 (ticked) counts as ticked.
// The ignore-UAC box (1211) plays no part.
LogonChoice ChooseLogonPath(std::intptr_t useCurrentCheck, std::intptr_t loadProfileCheck);

enum class HelpFollowUp {
  Nothing,            // 0: closed
  ReportOpenFailure,  // -1: the help dialog did not open; warning box
  StartDiagnostics,   // 1: start exePath with " t"; close the caller on success
};

// What a caller does with DialogBoxParamW's result for the help dialog.
HelpFollowUp FollowUpForHelpResult(std::intptr_t result);

// The help dialog's result for a WM_COMMAND: true with `result` set when the
// command closes the dialog (Esc and Close 0, Diagnostics 1).
bool HelpResultForCommand(int controlId, int notification, std::int32_t& result);

}  // namespace tvn
