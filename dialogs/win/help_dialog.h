// The help dialog (template 500): about text, disclaimer, Close and
// Diagnostics. It loads its own description section when it opens and
// releases it when it closes; DialogLayout keeps its controls in place.
#pragma once

#include <windows.h>

#include <cstdint>

#include "description/records.h"
#include "dialogs/win/dialog_base.h"
#include "dialogs/win/dialog_layout.h"

namespace tvn {

class HelpDialog final : public DialogBase {
 public:
  // `context` (may be null: then nothing is loaded and the dialog shows an
  // empty description) names the description key; it stays owned by the
  // caller until the dialog has ended.
  explicit HelpDialog(const AppContext* context) : context_(context) {}
  ~HelpDialog() override;

  // Runs the dialog modally: 0 closed, 1 Diagnostics, -1 the dialog did not open.
  INT_PTR Run(HINSTANCE instance, HWND owner);

 protected:
  INT_PTR OnInit() override;
  INT_PTR OnCommand(int id, int code) override;
  INT_PTR OnClose() override;
  void OnSize(int width, int height) override { layout_.OnSize(width, height); }
  void OnMinTrackSize(MINMAXINFO& info) override { layout_.OnMinTrackSize(info); }

 private:
  const AppContext* context_;
  UiDescription ui_;  // only the help section is used
  Win32DialogLayout layout_;
  std::int32_t result_ = 0;
};

// A help dialog over `owner`, from the executable's template.
INT_PTR RunHelpDialog(HWND owner, const AppContext& context);

// What both callers (the log-on and command dialogs) do with the "?" button:
// run the help dialog; on -1 show the warning box; on 1 start `exePath` with
// " t" and, when that started, close `caller` (WM_CLOSE), else show the
// warning box; on 0 nothing. `context` may be null (an empty context).
void OpenHelpFrom(HWND caller, const AppContext* context);

}  // namespace tvn
