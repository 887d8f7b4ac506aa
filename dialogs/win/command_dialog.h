// The command dialog (template 300): the command list, the command line and
// the restarts of the tool.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>

#include <cstdint>

#include "base/win/unique_handle.h"
#include "description/records.h"
#include "dialogs/win/command_menus.h"
#include "dialogs/win/dialog_base.h"
#include "dialogs/win/dialog_layout.h"

namespace tvn {

class CommandDialog final : public DialogBase {
 public:
  // The description stays owned by the caller until the dialog has ended.
  explicit CommandDialog(const CommandDescription& description);
  ~CommandDialog() override;

  // Runs the dialog modally from the executable's template; it always ends
  // with 0 (-1 when it could not be made).
  INT_PTR Run(HINSTANCE instance, HWND owner);
  // A failure of the start-up to report over the dialog once it is open (the
  // warning box with the code and the system's text); 0 reports nothing.
  void WarnWhenOpen(DWORD code) { openWarning_ = code; }

  const CommandDescription& description() const { return description_; }
  // The command that Execute would run, and whether it is ready (1) to run.
  Text currentCommand() const { return currentCommand_.text(); }
  std::uint16_t commandReady() const { return commandReady_; }
  RowMenus& menus() { return menus_; }

  // Runs the current command through ShellRun when it is ready, hidden when
  // the start-hidden box is ticked; true when nothing was to run.
  [[nodiscard]] bool ExecuteCommand();
  // Makes `command` the current, ready command and runs it.
  [[nodiscard]] bool RunCommand(const Text& command);
  // Whether the start-hidden box is ticked.
  bool StartHiddenTicked() const;

 protected:
  INT_PTR OnInit() override;
  INT_PTR OnCommand(int id, int code) override;
  INT_PTR OnNotify(const NMHDR& header) override;
  INT_PTR OnClose() override;
  void OnSize(int width, int height) override { layout_.OnSize(width, height); }
  void OnMinTrackSize(MINMAXINFO& info) override { layout_.OnMinTrackSize(info); }
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  using OpenFileNameFunction = BOOL(WINAPI*)(OPENFILENAMEW*);

  INT_PTR Initialise();
  const CommandEntry* RowOfItem(HWND list, int item) const;
  bool FillCommandList();
  void LayOut();
  void UpdateCommandState();
  void Restart(const char16_t* tail);
  OpenFileNameFunction OpenFileNameEntry();
  void Browse();
  void Report() const;
  INT_PTR OnListClick(const NMITEMACTIVATE& click, bool doubleClick);

  const CommandDescription& description_;
  TextBuffer currentCommand_;  // 2048 units while the dialog is open
  std::uint16_t commandReady_ = 0;
  HIMAGELIST imageList_ = nullptr;  // owned by the list view once attached
  Win32DialogLayout layout_;
  RowMenus menus_;
  UniqueModule commonDialogs_;  // loaded on the first Browse
  OpenFileNameFunction openFileName_ = nullptr;
  DWORD openWarning_ = 0;
};

}  // namespace tvn
