// The common steps by which every dialog hands its description to its window
// and controls when it opens. Fonts, icons and texts stay owned by the
// description; the controls only use them.
#pragma once

#include <windows.h>

#include "description/records.h"

namespace tvn {

enum class ControlKind {
  Icon,        // static with SS_ICON: icon, enabled state
  Label,       // static text: font, text, enabled state; never the focus
  Edit,        // font, text, enabled state, focus flag (EM_LIMITTEXT first when limited)
  PushButton,  // font, text, enabled state, focus flag
  CheckBox,    // font, text, check state, enabled state, focus flag
  ListView,    // font, enabled state, focus flag; the rows are filled by the dialog
};

// WM_SETICON (ICON_SMALL) with the dialog's icon, then WM_SETTEXT with its caption.
void ApplyDialogDescription(HWND dialog, const ControlDescription& description);

// Applies one control's description in the order its kind asks for.
// `limitText` > 0 sends EM_LIMITTEXT with it before the font (edit controls).
// Icons and labels never take the focus, whatever the description says.
void ApplyControlDescription(HWND dialog, int id, const ControlDescription& description, ControlKind kind,
                             int limitText = 0);

// Combo box: font; each item's text appended in item order (CB_INSERTSTRING
// at -1); CB_SETCURSEL with the selected index; enabled state; focus flag.
void ApplyComboDescription(HWND dialog, int id, const ComboDescription& description);

// A list view (or any control described only by font, enabled and focus):
// font, enabled state, focus flag.
void ApplyListDescription(HWND dialog, int id, FontHandle font, bool enabled, bool focus);

}  // namespace tvn
