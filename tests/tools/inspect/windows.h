// The top-level windows the inspector lists: which ones the selection takes,
// and each one as JSON with its controls (and a popup menu's items).
#pragma once

#include <windows.h>

#include <vector>

#include "tests/tools/inspect/options.h"
#include "tests/tools/json_out.h"

namespace tvn_inspect {

// The windows that the selection of `o` takes, in the system's order.
std::vector<HWND> Select(const Options& o);
bool AnyVisible(const std::vector<HWND>& windows);
void WriteWindow(tvn_tools::JsonWriter& json, HWND window);

}  // namespace tvn_inspect
