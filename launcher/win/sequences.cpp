#include "launcher/win/sequences.h"

#include "base/error_text.h"
#include "base/system_paths.h"
#include "base/win/new_file.h"
#include "base/win/startup_trace.h"
#include "base/win/wide.h"
#include "description/win/description.h"
#include "dialogs/win/command_dialog.h"
#include "dialogs/win/logon_dialog.h"
#include "launcher/script_commands.h"
#include "launcher/win/description_key.h"
#include "launcher/win/fatal_box.h"
#include "launcher/win/resource_tool.h"
#include "launcher/win/splash.h"
#include "launching/win/process.h"
#include "launching/win/successor.h"
#include "launching/win/system_folder.h"
#include "resources/resource.h"

namespace tvn {

namespace {

constexpr WORD kScriptType = 10;  // RT_RCDATA
constexpr WORD kScriptId = IDR_SCRIPT;
// How long a copy that hands over to a new one waits for the new copy's
// dialog before its own clean-up run.
constexpr DWORD kSuccessorWaitMs = 10000;

// The command interpreter that runs the script: COMSPEC when it names a full
// path, otherwise cmd.exe in the system folder. Empty, with the last error
// set, when neither can be had.
Text Interpreter(const Text& systemFolder) {
  Text comspec(kPathUnits, u'\0');
  DWORD length = GetEnvironmentVariableW(L"COMSPEC", W(comspec), static_cast<DWORD>(kPathUnits));
  if (length >= kPathUnits) length = 0;  // too long: it would not fit, so it is not used
  comspec.resize(length);
  Text interpreter = ChooseInterpreter(comspec, systemFolder);
  SetLastError(interpreter.empty() ? static_cast<DWORD>(ERROR_PATH_NOT_FOUND) : 0);
  return interpreter;
}

// The trace's phase words of a run's start and end.
const char* RunStartPhase(ScriptRun run) {
  switch (run) {
    case ScriptRun::LogonDescription:
    case ScriptRun::CommandDescription: return "describe-run-started";
    case ScriptRun::CleanUp: return "cleanup-run-started";
    default: return "diagnostics-run-started";
  }
}

const char* RunEndPhase(ScriptRun run) {
  switch (run) {
    case ScriptRun::LogonDescription:
    case ScriptRun::CommandDescription: return "describe-run-ended";
    case ScriptRun::CleanUp: return "cleanup-run-ended";
    default: return "diagnostics-run-ended";
  }
}

// Runs the script through the command interpreter, hidden, and waits for it.
// The interpreter and the script host are named by full path, and the run
// starts in the system folder (StartProgram). The diagnostics runs write into
// `logPath`. The interpreter's exit code is not examined.
bool RunScriptLine(Text& buffer, ScriptRun run, const AppContext& context, const Text& logPath = Text()) {
  const Text systemFolder = SystemFolder();
  if (systemFolder.empty()) return false;
  const Text interpreter = Interpreter(systemFolder);
  if (interpreter.empty()) return false;
  if (!ScriptCommandLine(run, PathInFolder(systemFolder, u"cscript.exe"), context.scriptPath.text(), context.processId,
                         logPath, buffer)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  TracePhase(RunStartPhase(run));
  const bool ran = StartProgram(W(interpreter), W(buffer), CREATE_NO_WINDOW, true);
  TracePhase(RunEndPhase(run));  // keeps the run's last error
  return ran;
}

// Removes a description key that a dead process of the same identifier left,
// so the script writes into an empty key.
bool ClearLeftoverDescription(const AppContext& context) { return DeleteDescriptionKey(context.keyName.text()); }

struct DialogRun {
  ScriptRun describe;
  LoadMode mode;
  DWORD elevationError;  // command dialog only
};

// Shows the dialog of the loaded section: its result, -1 when it could not be made.
INT_PTR RunDialog(const DialogRun& run, UiDescription& ui, HINSTANCE instance) {
  if (run.mode == kLoadLogon) {
    ui.logon.context = &ui.context;
    LogonDialog dialog(ui.logon);
    return dialog.Run(instance, nullptr);
  }
  ui.command.context = &ui.context;
  CommandDialog dialog(ui.command);
  dialog.WarnWhenOpen(run.elevationError);
  return dialog.Run(instance, nullptr);
}

// Extract the script, let it write the description, load it, show the dialog,
// release the description and let the script clear the key again.
void RunDialogSequence(const DialogRun& run, UiDescription& ui, HINSTANCE instance, Text& buffer,
                       SplashWindow& splash) {
  const AppContext& context = ui.context;
  if (!ExtractResourceToFile(W(context.scriptPath.text()), kScriptType, kScriptId)) {
    ShowFatal(context, kFatalExtractScript, true);
    return;
  }
  TracePhase("script-extracted");

  if (!ClearLeftoverDescription(context)) {
    ShowFatal(context, kFatalLoadRegistry, true);
  } else if (!RunScriptLine(buffer, run.describe, context)) {
    ShowFatal(context, kFatalExecuteScript, true);
  } else if (!LoadDescription(ui, run.mode, context.keyName.text())) {
    ShowFatal(context, kFatalLoadRegistry, true);
  } else {
    TracePhase("description-loaded");
    splash.Close();
    TracePhase("splash-closed");
    const INT_PTR result = RunDialog(run, ui, instance);
    TracePhase("dialog-ended");
    if (result == -1) ShowFatal(context, kFatalStartupDialog, true);
    ReleaseDescription(ui, run.mode);
    // The clean-up run would slow the copy this one handed over to (its own
    // script run) by as much as the clean-up takes: let that copy come up first.
    AwaitSuccessorDialog(kSuccessorWaitMs);
    TracePhase("successor-awaited");
  }

  if (!RunScriptLine(buffer, ScriptRun::CleanUp, context)) ShowFatal(context, kFatalExecuteScript, true);
}

}  // namespace

void RunLogonSequence(UiDescription& ui, HINSTANCE instance, Text& buffer, SplashWindow& splash) {
  RunDialogSequence({ScriptRun::LogonDescription, kLoadLogon, 0}, ui, instance, buffer, splash);
}

void RunCommandSequence(UiDescription& ui, HINSTANCE instance, Text& buffer, SplashWindow& splash,
                        DWORD elevationError) {
  RunDialogSequence({ScriptRun::CommandDescription, kLoadCommand, elevationError}, ui, instance, buffer, splash);
}

void RunDiagnosticsSequence(UiDescription& ui, HINSTANCE, Text& buffer, SplashWindow& splash) {
  const AppContext& context = ui.context;
  // The log has a fixed name in a folder that may be shared: the runs write a
  // new file of this process's own, which then replaces the log in one step,
  // so a file or link that someone else put under the log's name is neither
  // written into nor shown.
  NewFile log;
  if (!log.Create(context.tempDir.text()) || !log.Close() ||
      !ExtractResourceToFile(W(context.scriptPath.text()), kScriptType, kScriptId)) {
    ShowFatal(context, kFatalExtractScript, true);
    return;
  }
  TracePhase("script-extracted");
  if (!ClearLeftoverDescription(context)) ShowFatal(context, kFatalLoadRegistry, true);
  for (ScriptRun run : {ScriptRun::DiagnosticsFirst, ScriptRun::DiagnosticsSecond, ScriptRun::DiagnosticsThird}) {
    if (!RunScriptLine(buffer, run, context, log.path())) ShowFatal(context, kFatalExecuteScript, true);
  }
  splash.Close();
  TracePhase("splash-closed");
  // When the log's name cannot be replaced, the runs' own file is shown.
  Text shown = context.diagLogPath.text();
  if (!log.MoveOver(shown)) {
    shown = log.path();
    log.Keep();
  }
  // Both programs by full path: the shell would look for bare names in its
  // working directory first.
  const Text systemFolder = SystemFolder();
  if (ShowLogCommandLine(PathInFolder(systemFolder, u"cmd.exe"), PathInFolder(systemFolder, u"notepad.exe"), shown,
                         buffer)) {
    (void)ShellRun(nullptr, W(buffer), SW_HIDE);
  }
}

}  // namespace tvn
