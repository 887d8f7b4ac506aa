// The three interactive sequences that the entry dispatches to: log-on,
// commands and diagnostics. Each runs the description script around its
// dialog and returns to the entry's shut-down.
#pragma once

#include <windows.h>

#include "base/text.h"
#include "description/records.h"

namespace tvn {

class SplashWindow;

void RunLogonSequence(UiDescription& ui, HINSTANCE instance, Text& commandBuffer, SplashWindow& splash);
// `elevationError`: the code of a failed start of the elevated copy (0: none),
// reported over the command dialog once it is open.
void RunCommandSequence(UiDescription& ui, HINSTANCE instance, Text& commandBuffer, SplashWindow& splash,
                        DWORD elevationError);
void RunDiagnosticsSequence(UiDescription& ui, HINSTANCE instance, Text& commandBuffer, SplashWindow& splash);

}  // namespace tvn
