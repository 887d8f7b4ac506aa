// The log-on dialog (template 200): domain, user name and password, the
// load-profile and current-credentials boxes, Log on, Close and "?".
#pragma once

#include <windows.h>

#include "description/records.h"
#include "dialogs/win/dialog_base.h"

namespace tvn {

class LogonDialog final : public DialogBase {
 public:
  // The description (its context set) stays owned by the caller until the
  // dialog has ended.
  explicit LogonDialog(const LogonDescription& description) : description_(description) {}

  // Runs the dialog modally from the executable's template; it always ends
  // with 0 (-1 when it could not be made).
  INT_PTR Run(HINSTANCE instance, HWND owner);

 protected:
  INT_PTR OnInit() override;
  INT_PTR OnCommand(int id, int code) override;
  INT_PTR OnClose() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  INT_PTR Initialise();
  Text ExePath() const;
  bool IsTicked(int id) const;
  void ScrubPassword() const;
  void UpdateCredentialControls() const;
  void ReadText(int id, wchar_t* buffer, std::size_t units) const;
  void LogOn() const;

  const LogonDescription& description_;
};

}  // namespace tvn
