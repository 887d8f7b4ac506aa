#include "launcher/script_commands.h"

#include <gtest/gtest.h>

namespace tvn {
namespace {

TEST(ScriptCommands, EveryRunHasItsWordAndRedirection) {
  const Text script = u"C:\\Temp Dir\\TVN_12.script";
  const Text log = u"C:\\Temp Dir\\TVN_diag.log";
  EXPECT_EQ(ScriptCommandLine(ScriptRun::LogonDescription, script, 12, log),
            u" /c cscript /nologo /e:javascript \"C:\\Temp Dir\\TVN_12.script\" d1 12");
  EXPECT_EQ(ScriptCommandLine(ScriptRun::CommandDescription, script, 12, log),
            u" /c cscript /nologo /e:javascript \"C:\\Temp Dir\\TVN_12.script\" d2 12");
  EXPECT_EQ(ScriptCommandLine(ScriptRun::CleanUp, script, 12, log),
            u" /c cscript /nologo /e:javascript \"C:\\Temp Dir\\TVN_12.script\" f 12");
  // The first diagnostics run shows the banner and starts the log afresh.
  EXPECT_EQ(ScriptCommandLine(ScriptRun::DiagnosticsFirst, script, 12, log),
            u" /c cscript /e:javascript \"C:\\Temp Dir\\TVN_12.script\" d1 12>\"C:\\Temp Dir\\TVN_diag.log\"");
  EXPECT_EQ(ScriptCommandLine(ScriptRun::DiagnosticsSecond, script, 12, log),
            u" /c cscript /nologo /e:javascript \"C:\\Temp Dir\\TVN_12.script\" d2 12>>\"C:\\Temp Dir\\TVN_diag.log\"");
  EXPECT_EQ(ScriptCommandLine(ScriptRun::DiagnosticsThird, script, 12, log),
            u" /c cscript /nologo /e:javascript \"C:\\Temp Dir\\TVN_12.script\" f 12>>\"C:\\Temp Dir\\TVN_diag.log\"");
  EXPECT_EQ(ShowLogCommandLine(log), u"cmd /c notepad.exe \"C:\\Temp Dir\\TVN_diag.log\"");
}

TEST(ScriptCommands, OverlongPathsStayWithinTheCommandBuffer) {
  const Text script(1023, u's');
  const Text log(1023, u'l');
  for (ScriptRun run : {ScriptRun::DiagnosticsFirst, ScriptRun::DiagnosticsThird}) {
    EXPECT_EQ(ScriptCommandLine(run, script, 4294967295u, log).size(), kCommandUnits - 1);
  }
  const Text hugeScript(3000, u's');
  EXPECT_EQ(ScriptCommandLine(ScriptRun::LogonDescription, hugeScript, 1, log).size(), kCommandUnits - 1);
}

}  // namespace
}  // namespace tvn
