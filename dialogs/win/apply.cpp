#include "dialogs/win/apply.h"

#include <commctrl.h>

#include "base/win/wide.h"

namespace tvn {

namespace {

void SetFont(HWND control, FontHandle font) { SendMessageW(control, WM_SETFONT, static_cast<WPARAM>(font), TRUE); }

void SetText(HWND control, const TextBuffer& text) {
  SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(W(text.text())));
}

void EnableAndFocus(HWND control, bool enabled, bool focus) {
  EnableWindow(control, enabled ? TRUE : FALSE);
  if (focus) SetFocus(control);
}

}  // namespace

void ApplyDialogDescription(HWND dialog, const ControlDescription& description) {
  SendMessageW(dialog, WM_SETICON, ICON_SMALL, static_cast<LPARAM>(description.icon));
  SendMessageW(dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(W(description.text.text())));
}

void ApplyControlDescription(HWND dialog, int id, const ControlDescription& description, ControlKind kind,
                             int limitText) {
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) return;
  switch (kind) {
    case ControlKind::Icon:
      SendMessageW(control, STM_SETICON, static_cast<WPARAM>(description.icon), 0);
      EnableWindow(control, description.enabled ? TRUE : FALSE);
      return;
    case ControlKind::Label:
      SetFont(control, description.font);
      SetText(control, description.text);
      EnableWindow(control, description.enabled ? TRUE : FALSE);
      return;
    case ControlKind::Edit:
    case ControlKind::PushButton:
      if (limitText > 0) SendMessageW(control, EM_LIMITTEXT, static_cast<WPARAM>(limitText), 0);
      SetFont(control, description.font);
      SetText(control, description.text);
      EnableAndFocus(control, description.enabled, description.focus);
      return;
    case ControlKind::CheckBox:
      SetFont(control, description.font);
      SetText(control, description.text);
      SendMessageW(control, BM_SETCHECK, description.checked ? BST_CHECKED : BST_UNCHECKED, 0);
      EnableAndFocus(control, description.enabled, description.focus);
      return;
    case ControlKind::ListView:
      ApplyListDescription(dialog, id, description.font, description.enabled, description.focus);
      return;
  }
}

void ApplyComboDescription(HWND dialog, int id, const ComboDescription& description) {
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) return;
  SetFont(control, description.font);
  for (const ItemDescription& item : description.items) {
    SendMessageW(control, CB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(W(item.text.text())));
  }
  SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(static_cast<INT_PTR>(description.selected)), 0);
  EnableAndFocus(control, description.enabled, description.focus);
}

void ApplyListDescription(HWND dialog, int id, FontHandle font, bool enabled, bool focus) {
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) return;
  SetFont(control, font);
  EnableAndFocus(control, enabled, focus);
}

}  // namespace tvn
