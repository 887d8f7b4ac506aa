#include "launcher/script_commands.h"

namespace tvn {

namespace {

// Formats without a cut, so that an over-long result can be refused.
constexpr std::size_t kUncut = static_cast<std::size_t>(1) << 20;

const char16_t* FormatFor(ScriptRun run) {
  switch (run) {
    case ScriptRun::LogonDescription: return u" /c \"\"%s\" /nologo /e:javascript \"%s\" d1 %d\"";
    case ScriptRun::CommandDescription: return u" /c \"\"%s\" /nologo /e:javascript \"%s\" d2 %d\"";
    case ScriptRun::CleanUp: return u" /c \"\"%s\" /nologo /e:javascript \"%s\" f %d\"";
    case ScriptRun::DiagnosticsFirst: return u" /c \"\"%s\" /e:javascript \"%s\" d1 %d>\"%s\"\"";
    case ScriptRun::DiagnosticsSecond: return u" /c \"\"%s\" /nologo /e:javascript \"%s\" d2 %d>>\"%s\"\"";
    case ScriptRun::DiagnosticsThird: return u" /c \"\"%s\" /nologo /e:javascript \"%s\" f %d>>\"%s\"\"";
  }
  return u"";
}

bool Fits(Text formatted, Text& line) {
  if (formatted.size() >= kCommandUnits) {
    line.clear();
    return false;
  }
  line = std::move(formatted);
  return true;
}

}  // namespace

bool ScriptCommandLine(ScriptRun run, TextView scriptHost, TextView scriptPath, std::uint32_t processId,
                       TextView diagLogPath, Text& line) {
  if (scriptHost.empty()) {
    line.clear();
    return false;
  }
  return Fits(FormatText(FormatFor(run), kUncut, {scriptHost, scriptPath, FormatNumber(processId), diagLogPath}), line);
}

bool ShowLogCommandLine(TextView interpreter, TextView notepad, TextView diagLogPath, Text& line) {
  if (interpreter.empty() || notepad.empty()) {
    line.clear();
    return false;
  }
  return Fits(FormatText(u"\"%s\" /c \"\"%s\" \"%s\"\"", kUncut, {interpreter, notepad, diagLogPath}), line);
}

}  // namespace tvn
