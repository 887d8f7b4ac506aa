// The actions the inspector runs on the first matching window: close it,
// click, set a text or a check state, move the focus, press a key, select a
// list-view item or tell where to click it.
#pragma once

#include <windows.h>

#include "tests/tools/inspect/options.h"
#include "tests/tools/json_out.h"

namespace tvn_inspect {

// Runs `o.action` on `window` and writes its result object; the exit code:
// 0 done, 1 failed.
int RunAction(const Options& o, HWND window, tvn_tools::JsonWriter& json);

}  // namespace tvn_inspect
