#include "launcher/win/sequences.h"

#include "launcher/win/splash.h"

namespace tvn {

// The sequences run the description script around their dialogs; until the
// script host is in place they return at once.
void RunLogonSequence(UiDescription&, HINSTANCE, Text&, SplashWindow& splash) { splash.Close(); }
void RunCommandSequence(UiDescription&, HINSTANCE, Text&, SplashWindow& splash) { splash.Close(); }
void RunDiagnosticsSequence(UiDescription&, HINSTANCE, Text&, SplashWindow& splash) { splash.Close(); }

}  // namespace tvn
