#include "launcher/win/sequences.h"

#include "description/win/description.h"
#include "dialogs/win/command_dialog.h"
#include "dialogs/win/logon_dialog.h"
#include "launcher/error_text.h"
#include "launcher/script_commands.h"
#include "launcher/win/error_box.h"
#include "launcher/win/resource_tool.h"
#include "launcher/win/splash.h"
#include "launcher/win/startup_trace.h"
#include "launcher/win/successor.h"
#include "launcher/win/wide.h"
#include "launching/win/process.h"

namespace tvn {

namespace {

constexpr WORD kScriptType = 10;  // RT_RCDATA
constexpr WORD kScriptId = 750;
constexpr int kLogonTemplate = 200;
constexpr int kCommandTemplate = 300;
// How long a copy that hands over to a new one waits for the new copy's
// dialog before its own clean-up run.
constexpr DWORD kSuccessorWaitMs = 10000;

// Runs the command interpreter named by COMSPEC with the line, hidden, and
// waits for it. The interpreter's exit code is not examined.
bool RunScript(const Text& commandLine) {
  return StartProcess(L"COMSPEC", W(commandLine), CREATE_NO_WINDOW, true);
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

bool RunScriptLine(Text& buffer, ScriptRun run, const AppContext& context) {
  buffer = ScriptCommandLine(run, context.scriptPath.text(), context.processId, context.diagLogPath.text());
  TracePhase(RunStartPhase(run));
  const bool ran = RunScript(buffer);
  TracePhase(RunEndPhase(run));
  return ran;
}

struct DialogRun {
  ScriptRun describe;
  LoadMode mode;
  int dialogTemplate;
  DLGPROC procedure;
};

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

  if (!RunScriptLine(buffer, run.describe, context)) {
    ShowFatal(context, kFatalExecuteScript, true);
  } else if (!LoadDescription(ui, run.mode, context.keyName.text())) {
    ShowFatal(context, kFatalLoadRegistry, true);
  } else {
    TracePhase("description-loaded");
    LPARAM section = 0;
    if (run.mode == kLoadLogon) {
      ui.logon.context = &context;
      section = reinterpret_cast<LPARAM>(&ui.logon);
    } else {
      ui.command.context = &context;
      section = reinterpret_cast<LPARAM>(&ui.command);
    }
    splash.Close();
    TracePhase("splash-closed");
    const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(run.dialogTemplate), nullptr,
                                           run.procedure, section);
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
  RunDialogSequence({ScriptRun::LogonDescription, kLoadLogon, kLogonTemplate, LogonDialogProc}, ui, instance,
                    buffer, splash);
}

void RunCommandSequence(UiDescription& ui, HINSTANCE instance, Text& buffer, SplashWindow& splash) {
  RunDialogSequence({ScriptRun::CommandDescription, kLoadCommand, kCommandTemplate, CommandDialogProc}, ui,
                    instance, buffer, splash);
}

void RunDiagnosticsSequence(UiDescription& ui, HINSTANCE, Text& buffer, SplashWindow& splash) {
  const AppContext& context = ui.context;
  if (!ExtractResourceToFile(W(context.scriptPath.text()), kScriptType, kScriptId)) {
    ShowFatal(context, kFatalExtractScript, true);
    return;
  }
  TracePhase("script-extracted");
  for (ScriptRun run : {ScriptRun::DiagnosticsFirst, ScriptRun::DiagnosticsSecond, ScriptRun::DiagnosticsThird}) {
    if (!RunScriptLine(buffer, run, context)) ShowFatal(context, kFatalExecuteScript, true);
  }
  splash.Close();
  TracePhase("splash-closed");
  buffer = ShowLogCommandLine(context.diagLogPath.text());
  (void)ShellRun(nullptr, W(buffer), SW_HIDE);
}

}  // namespace tvn
