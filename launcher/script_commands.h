// The command lines that run the description script through the command
// interpreter, and the line that shows the diagnostic log.
#pragma once

#include <cstdint>

#include "launcher/text.h"

namespace tvn {

enum class ScriptRun {
  LogonDescription,    // d1
  CommandDescription,  // d2
  CleanUp,             // f
  DiagnosticsFirst,    // d1, with the host's banner, starting the log afresh
  DiagnosticsSecond,   // d2, appended to the log
  DiagnosticsThird,    // f, appended to the log
};

// The whole line handed to the interpreter (after its own name), cut to the
// 2048-unit command buffer. The log path stands in double quotes, so a
// temporary directory with blanks in its path works.
Text ScriptCommandLine(ScriptRun run, TextView scriptPath, std::uint32_t processId, TextView diagLogPath);

// "cmd /c notepad.exe" with the quoted log path.
Text ShowLogCommandLine(TextView diagLogPath);

}  // namespace tvn
