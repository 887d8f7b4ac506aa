#include "dialogs/win/dialog_base.h"

namespace tvn {

DialogBase::~DialogBase() {
  // A window that outlives its object must not reach it any more.
  if (window_ != nullptr && IsWindow(window_) && FromWindow(window_) == this) {
    SetWindowLongPtrW(window_, DWLP_USER, 0);
  }
}

INT_PTR DialogBase::RunModal(HINSTANCE instance, int templateId, HWND owner) {
  return DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), owner, &DialogBase::Procedure,
                         reinterpret_cast<LPARAM>(this));
}

HWND DialogBase::CreateModeless(HINSTANCE instance, int templateId, HWND owner) {
  return CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId), owner, &DialogBase::Procedure,
                            reinterpret_cast<LPARAM>(this));
}

DialogBase* DialogBase::FromWindow(HWND window) {
  if (window == nullptr) return nullptr;
  // Only a dialog run by this procedure keeps one of these objects in its
  // user word; any other dialog may keep anything there.
  const LONG_PTR procedure = GetWindowLongPtrW(window, DWLP_DLGPROC);
  if (procedure != reinterpret_cast<LONG_PTR>(&DialogBase::Procedure)) return nullptr;
  return reinterpret_cast<DialogBase*>(GetWindowLongPtrW(window, DWLP_USER));
}

void DialogBase::SetMessageResult(LRESULT result) const { SetWindowLongPtrW(window_, DWLP_MSGRESULT, result); }

INT_PTR CALLBACK DialogBase::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DialogBase* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<DialogBase*>(lParam);
    if (self == nullptr) return FALSE;
    self->window_ = window;
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
  } else {
    // Messages before WM_INITDIALOG (WM_SETFONT and the like) find no object.
    self = reinterpret_cast<DialogBase*>(GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr || self->window_ != window) return FALSE;
  }
  const INT_PTR result = self->Dispatch(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, DWLP_USER, 0);
    self->window_ = nullptr;
  }
  return result;
}

INT_PTR DialogBase::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInit();
    case WM_COMMAND: return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:
      if (lParam == 0) return FALSE;
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_CLOSE: return OnClose();
    case WM_SIZE: OnSize(LOWORD(lParam), HIWORD(lParam)); return FALSE;
    case WM_GETMINMAXINFO:
      if (lParam != 0) OnMinTrackSize(*reinterpret_cast<MINMAXINFO*>(lParam));
      return FALSE;
    default: return OnMessage(message, wParam, lParam);
  }
}

}  // namespace tvn
