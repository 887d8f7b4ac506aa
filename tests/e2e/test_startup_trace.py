"""The opt-in start-up trace: with TVN_TRACE=1 every process of TVN.exe appends
one line per start-up phase to TVN_trace.log in the temporary directory; without
it nothing is written."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tvn  # noqa: E402

LOGON_CAPTION = "TVN3: Авторизация"
COMMAND_CAPTION = "TVN3: Команды"

# The main thread's phases of an interactive start, in the order they happen.
DIALOG_PHASES = [
    "entry",
    "com-initialised",
    "controls-initialised",
    "script-extracted",
    "describe-run-started",
    "describe-run-ended",
    "description-loaded",
    "splash-closed",
    "dialog-created",
    "dialog-initialised",
    "dialog-shown",
    "dialog-ended",
    "successor-awaited",
    "cleanup-run-started",
    "cleanup-run-ended",
    "exit",
]
# The splash thread's, which run beside the main thread's.
SPLASH_PHASES = ["splash-started", "splash-shown"]


def trace_path():
    return os.path.join(tvn.temp_dir_unix(), "TVN_trace.log")


def read_trace():
    """The trace's lines as (microseconds, pid, phase) tuples, in file order."""
    try:
        with open(trace_path(), "rb") as f:
            data = f.read()
    except FileNotFoundError:
        return []
    lines = []
    for raw in data.split(b"\r\n"):
        if not raw:
            continue
        fields = raw.decode("ascii").split(" ")
        if len(fields) != 3 or not fields[0].isdigit() or not fields[1].isdigit():
            raise AssertionError("malformed trace line %r" % raw)
        lines.append((int(fields[0]), int(fields[1]), fields[2]))
    return lines


class StartupTraceTest(tvn.TvnTestCase):
    def setUp(self):
        super().setUp()
        if os.path.exists(trace_path()):
            os.remove(trace_path())

    def run_dialog(self, tail, caption, options=()):
        """Starts TVN.exe, waits for its dialog, closes it and waits for the end (clean-up included)."""
        run = tvn.Spawn(tail, spawn_options=options)
        dialog = tvn.wait_window(title=caption, pid=run.pid, timeout=60)
        self.assertIsNotNone(dialog, "the dialog did not open")
        tvn.inspect("--hwnd", dialog["hwnd"], "--close")
        self.assertEqual(run.exit_code(timeout=60), 0)
        return run.pid

    def assert_phases(self, pid):
        own = [line for line in read_trace() if line[1] == pid]
        phases = [p for _, _, p in own]
        main = [p for p in phases if p not in SPLASH_PHASES]
        self.assertEqual(main, DIALOG_PHASES)
        self.assertEqual([p for p in phases if p in SPLASH_PHASES], SPLASH_PHASES)
        # The splash starts after the entry and shows before it is closed.
        self.assertLess(phases.index("entry"), phases.index("splash-started"))
        self.assertLess(phases.index("splash-shown"), phases.index("splash-closed"))
        # One clock for every line: the times never go back in file order
        # within a thread, and the whole start lies within a minute.
        times = [t for t, _, p in own if p not in SPLASH_PHASES]
        self.assertEqual(times, sorted(times))
        self.assertLess(times[-1] - times[0], 60 * 1000 * 1000)

    def test_logon_start_writes_every_phase_in_order(self):
        pid = self.run_dialog("", LOGON_CAPTION, ("--env", "TVN_TRACE=1"))
        self.assert_phases(pid)

    def test_command_start_writes_every_phase_in_order(self):
        pid = self.run_dialog(" c+", COMMAND_CAPTION, ("--env", "TVN_TRACE=1"))
        self.assert_phases(pid)

    def test_refresh_cleans_up_only_once_the_new_copy_shows_its_dialog(self):
        # The clean-up run of the copy that hands over would compete with the
        # new copy's describing run; it waits for the new copy's dialog.
        run = tvn.Spawn(" c+", spawn_options=("--env", "TVN_TRACE=1"))
        dialog = tvn.wait_window(title=COMMAND_CAPTION, pid=run.pid, timeout=60)
        self.assertIsNotNone(dialog, "the command dialog did not open")
        tvn.inspect("--hwnd", dialog["hwnd"], "--click", tvn.ids.IDC_COMMAND_REFRESH)
        self.assertEqual(run.exit_code(timeout=60), 0)
        fresh = tvn.wait_window(title=COMMAND_CAPTION, timeout=60)
        self.assertIsNotNone(fresh, "the new copy's dialog is not open")
        self.assertNotEqual(fresh["pid"], run.pid)
        lines = read_trace()
        old = {p: t for t, pid, p in lines if pid == run.pid}
        new = {p: t for t, pid, p in lines if pid == fresh["pid"]}
        self.assertIn("dialog-shown", new)
        self.assertLessEqual(new["dialog-shown"], old["successor-awaited"])
        self.assertLess(old["successor-awaited"], old["cleanup-run-started"])
        tvn.inspect("--hwnd", fresh["hwnd"], "--close")

    def test_a_trace_name_linked_to_another_file_gets_no_line(self):
        # Another user of a shared temporary folder made the name a hard link.
        theirs = os.path.join(tvn.temp_dir_unix(), "TVN_trace theirs.txt")
        with open(theirs, "wb") as f:
            f.write(b"their file\r\n")
        self.addCleanup(os.remove, theirs)
        os.link(theirs, trace_path())
        run = tvn.Spawn(' e "%s" "10" "750"' % tvn.winpath(theirs + ".out"), spawn_options=("--env", "TVN_TRACE=1"))
        self.addCleanup(lambda: os.path.exists(theirs + ".out") and os.remove(theirs + ".out"))
        self.assertEqual(run.exit_code(timeout=60), 0)
        with open(theirs, "rb") as f:
            self.assertEqual(f.read(), b"their file\r\n")
        self.assertTrue(os.path.exists(theirs + ".out"), "the run itself went through")

    def test_nothing_is_written_unless_asked_for(self):
        for value in (None, "0", "yes"):
            options = ("--unset", "TVN_TRACE") if value is None else ("--env", "TVN_TRACE=" + value)
            pid = self.run_dialog("", LOGON_CAPTION, options)
            self.assertEqual([line for line in read_trace() if line[1] == pid], [], "TVN_TRACE=%s" % value)


if __name__ == "__main__":
    tvn.main()
