// The controls of a window as JSON: texts, states, rectangles, fonts, and the
// items of combo boxes, list boxes and list views.
#pragma once

#include <windows.h>

#include "tests/tools/json_out.h"

namespace tvn_inspect {

// [left, top, right, bottom]
void WriteRect(tvn_tools::JsonWriter& json, const RECT& r);
// One control; `focus` is the focus window of the control's thread.
void WriteControl(tvn_tools::JsonWriter& json, HWND control, HWND focus);

}  // namespace tvn_inspect
