#include "launcher/win/entry.h"

#include <commctrl.h>

#include "base/error_text.h"
#include "base/scope_guard.h"
#include "base/system_paths.h"
#include "base/win/new_file.h"
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

// The temporary folder, or nothing with `error` set when it cannot hold the
// tool's files: the query failed, its result did not fit, or it is no fully
// qualified folder (a relative TMP), which would put the script wherever the
// current directory is.
Text QueryTempPath(DWORD& error) {
  Text buffer(kPathUnits, u'\0');
  SetLastError(0);
  const DWORD length = GetTempPathW(static_cast<DWORD>(kPathUnits), W(buffer));
  if (length == 0) {
    error = GetLastError() != 0 ? GetLastError() : static_cast<DWORD>(ERROR_PATH_NOT_FOUND);
  } else if (length >= kPathUnits) {
    error = ERROR_FILENAME_EXCED_RANGE;
  } else {
    buffer.resize(length);
    error = TemporaryFolderError(buffer);
  }
  if (error != 0) buffer.clear();
  return buffer;
}

// A temporary copy of an executable started from a network location: copy
// it to the temporary directory and start it there. True when both worked.
// The copy is held open, so that nobody can change or replace it, until the
// shell has started it.
bool StartTemporaryCopy(const AppContext& context) {
  UniqueHandleKernel held;
  if (!PlaceCopy(context.exePath.text(), context.tempCopyPath.text(), held)) return false;
  Text quoted = FormatText(u"\"%s\"", kCommandUnits, {context.tempCopyPath.text()});
  return ShellRun(nullptr, W(quoted), SW_SHOWNORMAL);
}

void Dispatch(UiDescription& ui, HINSTANCE instance, const CommandLineOptions& options, Text& commandBuffer,
              SplashWindow& splash, DWORD tempError) {
  if (options.toolMode != ToolMode::None) {
    RunResourceTool(options, ui.context, splash);
    return;
  }
  // Every other mode writes the script (or the copy) into the temporary folder.
  if (tempError != 0) {
    SetLastError(tempError);
    splash.WaitUntilShown();  // the box comes in front of the splash, not behind it
    ShowFatal(ui.context, kFatalExtractScript, true);
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
  DWORD tempError = 0;
  LoadAppContext(ui.context, GetCurrentProcessId(), QueryModulePath(), QueryTempPath(tempError));

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
  Dispatch(ui, instance, options, commandBuffer, splash, tempError);
  return 0;
}

}  // namespace tvn
