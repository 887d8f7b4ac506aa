// The one dialog procedure of the tool's dialogs. Each dialog is an object
// derived from DialogBase: the object is handed over as the creation
// parameter, kept with the window (DWLP_USER) from WM_INITDIALOG on, and every
// later message of that window goes to the object's handlers. Handlers return
// what a dialog procedure returns; a handler that is not overridden returns
// FALSE (the system's default handling).
#pragma once

#include <windows.h>

namespace tvn {

class DialogBase {
 public:
  DialogBase() = default;
  DialogBase(const DialogBase&) = delete;
  DialogBase& operator=(const DialogBase&) = delete;
  virtual ~DialogBase();

  // The dialog's window while it exists, else null.
  HWND window() const { return window_; }

  // DialogBoxParamW with this object: the dialog's result, or -1 when the
  // dialog could not be made. The object must stay alive until it returns.
  INT_PTR RunModal(HINSTANCE instance, int templateId, HWND owner);

  // CreateDialogParamW with this object: the window, or null. The window must
  // be destroyed before the object.
  HWND CreateModeless(HINSTANCE instance, int templateId, HWND owner);

  // The object of a window made through RunModal or CreateModeless, or null
  // for any other window and before WM_INITDIALOG.
  static DialogBase* FromWindow(HWND window);

  // The dialog procedure that dispatches to the object.
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  // WM_INITDIALOG, with window() already set. TRUE lets the system set the
  // default focus; FALSE keeps the focus where the handler put it.
  virtual INT_PTR OnInit() { return FALSE; }
  // WM_COMMAND: the control id and the notification code.
  virtual INT_PTR OnCommand(int /*id*/, int /*code*/) { return FALSE; }
  // WM_NOTIFY; a handled notification returns TRUE and sets its answer
  // through SetMessageResult.
  virtual INT_PTR OnNotify(const NMHDR& /*header*/) { return FALSE; }
  // WM_CLOSE: every way out of a dialog comes here.
  virtual INT_PTR OnClose() { return FALSE; }
  // WM_SIZE: the new client size.
  virtual void OnSize(int /*width*/, int /*height*/) {}
  // WM_GETMINMAXINFO: the handler may change the smallest tracking size.
  virtual void OnMinTrackSize(MINMAXINFO& /*info*/) {}
  // Any other message.
  virtual INT_PTR OnMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) { return FALSE; }

  // The answer to the message being handled (DWLP_MSGRESULT).
  void SetMessageResult(LRESULT result) const;

 private:
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
};

}  // namespace tvn
