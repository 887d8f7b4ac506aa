// The command lines that run the description script through the command
// interpreter, and the line that shows the diagnostic log.
#pragma once

#include <cstdint>

#include "base/text.h"

namespace tvn {

enum class ScriptRun {
  LogonDescription,    // d1
  CommandDescription,  // d2
  CleanUp,             // f
  DiagnosticsFirst,    // d1, with the host's banner, starting the log afresh
  DiagnosticsSecond,   // d2, appended to the log
  DiagnosticsThird,    // f, appended to the log
};

// The whole line handed to the interpreter (after its own name), for example
//   /c ""C:\Windows\system32\cscript.exe" /nologo /e:javascript "<script>" d1 <pid>"
// The script host is named by its full path, so the interpreter never looks
// for it in its current directory. The interpreter's /c strips the first and
// the last quote of such a line, which is why the command after /c carries one
// extra pair around it: what runs is the quoted host with its arguments, also
// when the system folder's path holds blanks. The script path and the log path
// stand in double quotes, so a temporary directory with blanks works too.
// False, with `line` empty, when the line would not fit the 2048-unit command
// buffer or the host is unknown: such a line is refused, never cut.
[[nodiscard]] bool ScriptCommandLine(ScriptRun run, TextView scriptHost, TextView scriptPath, std::uint32_t processId,
                                     TextView diagLogPath, Text& line);

// The text that ShellRun opens to show the log:
//   "<interpreter>" /c ""<notepad>" "<log>""
// with both programs by full path. False, with `line` empty, as above.
[[nodiscard]] bool ShowLogCommandLine(TextView interpreter, TextView notepad, TextView diagLogPath, Text& line);

}  // namespace tvn
