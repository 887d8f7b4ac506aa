#include "launcher/win/entry.h"

#include <commctrl.h>

#include "base/error_text.h"
#include "base/scope_guard.h"
#include "base/win/startup_trace.h"
#include "base/win/unique_handle.h"
#include "base/win/wide.h"
#include "description/records.h"
#include "launcher/app_context.h"
#include "launcher/command_line.h"
#include "launcher/elevation.h"
#include "launcher/win/fatal_box.h"
#include "launcher/win/resource_tool.h"
#include "launcher/win/sequences.h"
#include "launcher/win/splash.h"
#include "launching/win/elevation.h"
#include "launching/win/process.h"
#include "launching/win/system_folder.h"

namespace tvn {

namespace {

Text QueryModulePath() {
  Text buffer(kPathUnits, u'\0');
  DWORD length = GetModuleFileNameW(nullptr, W(buffer), static_cast<DWORD>(kPathUnits));
  if (length >= kPathUnits) length = 0;  // cut paths are useless; a failed query leaves the text empty
  buffer.resize(length);
  return buffer;
}

Text QueryTempPath() {
  Text buffer(kPathUnits, u'\0');
  DWORD length = GetTempPathW(static_cast<DWORD>(kPathUnits), W(buffer));
  if (length >= kPathUnits) length = 0;
  buffer.resize(length);
  return buffer;
}

// A temporary copy of an executable started from a network location: copy
// it to the temporary directory and start it there. True when both worked.
bool StartTemporaryCopy(const AppContext& context) {
  if (!CopyFileW(W(context.exePath.text()), W(context.tempCopyPath.text()), FALSE)) return false;
  Text quoted = FormatText(u"\"%s\"", kCommandUnits, {context.tempCopyPath.text()});
  return ShellRun(nullptr, W(quoted), SW_SHOWNORMAL);
}

void Dispatch(UiDescription& ui, HINSTANCE instance, const CommandLineOptions& options, Text& commandBuffer,
              SplashWindow& splash) {
  if (options.toolMode != ToolMode::None) {
    RunResourceTool(options, ui.context, splash);
    return;
  }
  switch (options.uiMode) {
    case UiMode::Logon:
      if (IsNetworkPath(W(ui.context.exePath.text())) && StartTemporaryCopy(ui.context)) return;
      RunLogonSequence(ui, instance, commandBuffer, splash);
      return;
    case UiMode::Commands: {
      // Before anything else: a copy that hands over to its elevated self
      // runs no script and leaves no key. The splash, when it is up already,
      // is the consent prompt's owner, which brings the prompt to the front.
      Win32ElevationPlatform platform(splash.window());
      const ElevationOutcome elevation = ElevateIfNeeded(platform, options, ui.context.exePath.text(), SystemFolder());
      if (elevation.handedOver) return;
      RunCommandSequence(ui, instance, commandBuffer, splash, elevation.startError);
      return;
    }
    case UiMode::Diagnostics: RunDiagnosticsSequence(ui, instance, commandBuffer, splash); return;
  }
}

}  // namespace

bool IsNetworkPath(const wchar_t* path) {
  Text text = ToText(path);
  bool remote = IsNetworkPathWith(text, [](TextView drive) {
    Text root(drive);
    return GetDriveTypeW(W(root)) == DRIVE_REMOTE;
  });
  SetLastError(0);
  return remote;
}

int RunEntry(HINSTANCE instance, const wchar_t* fullCommandLine) {
  // Before anything may load a library by name: the current directory can be
  // a folder that others write to.
  RemoveCurrentDirectoryFromLibrarySearch();
  StartTrace();

  // The entry's description holds the application context for the whole run.
  static UiDescription ui;
  LoadAppContext(ui.context, GetCurrentProcessId(), QueryModulePath(), QueryTempPath());

  // Every way out of the run releases the context, after everything below.
  auto releaseContext = MakeScopeGuard([] {
    ReleaseAppContext(ui.context);
    TracePhase("exit");
  });

  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
#endif
  const BOOL haveVersion = GetVersionExW(&version);
  if (!haveVersion) {
    ShowFatal(ui.context, kFatalGetVersion, true);
    return 0;
  }
  if (version.dwPlatformId != VER_PLATFORM_WIN32_NT) {
    ShowFatal(ui.context, kFatalPlatform, false);
    return 0;
  }
  if (version.dwMajorVersion < 5) {
    ShowFatal(ui.context, kFatalOsVersion, false);
    return 0;
  }

  SplashWindow splash(0);
  splash.Start();

  const ComInitialization com;
  if (com.result() != S_OK) {
    // CoInitialize reports through its result, not the last error: show that.
    SetLastError(static_cast<DWORD>(com.result()));
    ShowFatal(ui.context, kFatalComInit, true);
    return 0;
  }
  TracePhase("com-initialised");
  INITCOMMONCONTROLSEX controls = {};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_LISTVIEW_CLASSES;
  if (!InitCommonControlsEx(&controls)) {
    ShowFatal(ui.context, kFatalCommonControls, true);
    return 0;
  }
  TracePhase("controls-initialised");

  Text commandBuffer;
  commandBuffer.reserve(kCommandUnits);
  const CommandLineOptions options = ParseCommandLine(StripProgramName(ToText(fullCommandLine)));
  Dispatch(ui, instance, options, commandBuffer, splash);
  return 0;
}

}  // namespace tvn
