#include "launcher/script_commands.h"

namespace tvn {

namespace {

const char16_t* FormatFor(ScriptRun run) {
  switch (run) {
    case ScriptRun::LogonDescription: return u" /c cscript /nologo /e:javascript \"%s\" d1 %d";
    case ScriptRun::CommandDescription: return u" /c cscript /nologo /e:javascript \"%s\" d2 %d";
    case ScriptRun::CleanUp: return u" /c cscript /nologo /e:javascript \"%s\" f %d";
    case ScriptRun::DiagnosticsFirst: return u" /c cscript /e:javascript \"%s\" d1 %d>\"%s\"";
    case ScriptRun::DiagnosticsSecond: return u" /c cscript /nologo /e:javascript \"%s\" d2 %d>>\"%s\"";
    case ScriptRun::DiagnosticsThird: return u" /c cscript /nologo /e:javascript \"%s\" f %d>>\"%s\"";
  }
  return u"";
}

}  // namespace

Text ScriptCommandLine(ScriptRun run, TextView scriptPath, std::uint32_t processId, TextView diagLogPath) {
  return FormatText(FormatFor(run), kCommandUnits, {scriptPath, FormatNumber(processId), diagLogPath});
}

Text ShowLogCommandLine(TextView diagLogPath) {
  return FormatText(u"cmd /c notepad.exe \"%s\"", kCommandUnits, {diagLogPath});
}

}  // namespace tvn
