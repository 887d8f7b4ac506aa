"""The script host around each interactive run, with the real cmd, cscript and registry."""

import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tvn  # noqa: E402

LOGON_CAPTION = "TVN3: Авторизация"
COMMAND_CAPTION = "TVN3: Команды"
EXECUTE_SCRIPT = "FATAL ERROR: Execute script!\r\nError ("
LOAD_REGISTRY = "FATAL ERROR: Load data from registry!\r\nError ("
# An interpreter that cannot be started: a full path to nothing.
MISSING_INTERPRETER = "COMSPEC=C:\\no such folder\\cmd.exe"


class SequenceTest(tvn.TvnTestCase):
    def setUp(self):
        super().setUp()
        self.temp = tvn.temp_dir_unix()
        self.cleanup_paths = []

    def tearDown(self):
        tvn.kill_image("notepad.exe")
        for path in self.cleanup_paths:
            if os.path.isdir(path):
                shutil.rmtree(path, ignore_errors=True)
            elif os.path.exists(path):
                os.unlink(path)
        super().tearDown()

    def script_file(self, pid):
        return os.path.join(self.temp, "TVN_%d.script" % pid)

    def key(self, pid):
        return r"HKCU\Software\TVN\%d" % pid

    def press_ok(self, box):
        tvn.inspect("--hwnd", box["hwnd"], "--click", 1)  # OK, whatever may lie above it

    def expect_boxes(self, pid, prefix, count):
        """Answers `count` boxes of the run whose text starts with `prefix`; fails on a dialog."""
        for n in range(count):
            box = tvn.wait_box(pid=pid, timeout=40)
            self.assertIsNotNone(box, "box %d of %d did not appear" % (n + 1, count))
            self.assertTrue(tvn.box_text(box).startswith(prefix), tvn.box_text(box))
            for window in tvn.inspect("--pid", pid)["windows"]:
                self.assertNotIn("TVN3", window["title"], "a dialog opened although the run failed")
            self.press_ok(box)
            tvn.wait_until(lambda: not any(w["hwnd"] == box["hwnd"] for w in tvn.inspect("--pid", pid)["windows"]),
                              15)

    def open_dialog_and_close(self, tail, caption, check_key, shot):
        run = tvn.Spawn(tail)
        dialog = tvn.wait_window(title=caption, pid=run.pid, timeout=60)
        self.assertIsNotNone(dialog, "the dialog %r did not open" % caption)
        self.assertEqual(dialog["title"], caption)
        # The description exists while the dialog is open...
        values = tvn.reg_query_key(self.key(run.pid))
        self.assertIsNotNone(values, "no description key while the dialog is open")
        check_key(values)
        self.assertTrue(os.path.exists(self.script_file(run.pid)))
        tvn.screenshot(shot)
        tvn.inspect("--hwnd", dialog["hwnd"], "--close")
        self.assertEqual(run.exit_code(), 0)
        # ...and the clean-up run removes it and the script file afterwards.
        self.assertFalse(tvn.key_exists(self.key(run.pid)))
        self.assertTrue(tvn.key_exists(r"HKCU\Software\TVN"))
        self.assertFalse(os.path.exists(self.script_file(run.pid)))

    def test_logon_mode_describes_opens_and_clears(self):
        def check(values):
            self.assertEqual(values.get("0#3"), LOGON_CAPTION)
            self.assertEqual(values.get("2#3"), "TVN3: Помощь")
        self.open_dialog_and_close("", LOGON_CAPTION, check, "sequence-logon")

    def test_command_mode_describes_opens_and_clears(self):
        def check(values):
            self.assertEqual(values.get("1#3"), COMMAND_CAPTION)
            self.assertEqual(values.get("1.2#20"), "16")
            self.assertEqual(values.get("1.3#20"), "8")
        self.open_dialog_and_close(" c+", COMMAND_CAPTION, check, "sequence-command")

    def test_missing_interpreter_reports_both_runs_and_opens_nothing(self):
        run = tvn.Spawn("", spawn_options=["--env", MISSING_INTERPRETER])
        self.cleanup_paths.append(self.script_file(run.pid))
        self.expect_boxes(run.pid, EXECUTE_SCRIPT, 2)  # the d1 run, then the clean-up run
        self.assertEqual(run.exit_code(), 0)
        self.assertFalse(tvn.key_exists(self.key(run.pid)))

    def test_without_a_usable_comspec_the_systems_interpreter_runs_the_script(self):
        # Unset, or not a full path: the system folder's cmd.exe.
        for options in (["--unset", "COMSPEC"], ["--env", "COMSPEC=cmd.exe"]):
            with self.subTest(options=options):
                run = tvn.Spawn(" c+", spawn_options=options)
                dialog = tvn.wait_window(title=COMMAND_CAPTION, pid=run.pid, timeout=60)
                self.assertIsNotNone(dialog, "the command dialog did not open")
                tvn.inspect("--hwnd", dialog["hwnd"], "--close")
                self.assertEqual(run.exit_code(), 0)
                self.assertFalse(tvn.key_exists(self.key(run.pid)))

    def test_script_that_writes_nothing_gives_message_7_and_still_cleans_up(self):
        # A copy of the tool whose script only notes each run in a file.
        folder = os.path.join(self.temp, "tvn seq copy %d" % os.getpid())
        os.makedirs(folder, exist_ok=True)
        self.cleanup_paths.append(folder)
        copy = os.path.join(folder, "TVN.exe")
        shutil.copyfile(tvn.exe("TVN.exe"), copy)
        marks = os.path.join(folder, "runs.txt")
        script = os.path.join(folder, "noop.script")
        body = ('var fso = new ActiveXObject("Scripting.FileSystemObject");'
                'var f = fso.OpenTextFile("%s", 8, true);'
                'f.WriteLine(WScript.Arguments(0) + " " + WScript.Arguments(1)); f.Close();'
                % tvn.winpath(marks).replace("\\", "\\\\"))
        with open(script, "wb") as f:
            f.write(b"// TVN SCRIPT(compress)\r\n// BINARY VERSION >= 3.1.1.4\r\n" + body.encode("cp1251"))
        update = tvn.Spawn(' i "%s" "%s" "10" "750"' % (tvn.winpath(script), tvn.winpath(copy)))
        self.assertEqual(update.exit_code(), 0)

        run = tvn.Spawn("", program=copy)
        self.cleanup_paths.append(self.script_file(run.pid))
        self.expect_boxes(run.pid, LOAD_REGISTRY, 1)
        self.assertEqual(run.exit_code(), 0)
        with open(marks, encoding="cp1251") as f:
            self.assertEqual(f.read().split("\n")[:2], ["d1 %d" % run.pid, "f %d" % run.pid])

    def copy_with_script(self, name, body):
        """A copy of the tool in its own folder, carrying `body` as its script."""
        folder = os.path.join(self.temp, "tvn seq %s %d" % (name, os.getpid()))
        os.makedirs(folder, exist_ok=True)
        self.cleanup_paths.append(folder)
        copy = os.path.join(folder, "TVN.exe")
        shutil.copyfile(tvn.exe("TVN.exe"), copy)
        script = os.path.join(folder, "body.script")
        with open(script, "wb") as f:
            f.write(b"// TVN SCRIPT(compress)\r\n// BINARY VERSION >= 3.1.1.4\r\n" + body.encode("cp1251"))
        update = tvn.Spawn(' i "%s" "%s" "10" "750"' % (tvn.winpath(script), tvn.winpath(copy)))
        self.assertEqual(update.exit_code(), 0)
        return folder, copy

    def test_failing_and_flooding_scripts_end_in_message_7(self):
        # A script that prints megabytes, and one that fails at once: neither
        # writes a description, so the load fails, and the clean-up run follows.
        for name, body in (("flood", 'var s = "x"; for (var i = 0; i < 16; i++) { s = s + s; }'
                                     'for (var k = 0; k < 60; k++) { WScript.Echo(s); }'),
                           ("fails", 'WScript.Quit(3);')):
            with self.subTest(script=name):
                _, copy = self.copy_with_script(name, body)
                run = tvn.Spawn("", program=copy)
                self.cleanup_paths.append(self.script_file(run.pid))
                self.expect_boxes(run.pid, LOAD_REGISTRY, 1)
                self.assertEqual(run.exit_code(), 0)

    def test_temporary_directory_with_blanks_and_cyrillic_letters(self):
        temp = os.path.join(self.temp, "Временная папка %d" % os.getpid())
        os.makedirs(temp, exist_ok=True)
        self.cleanup_paths.append(temp)
        env = ["--env", "TEMP=" + tvn.winpath(temp), "--env", "TMP=" + tvn.winpath(temp)]
        # The command mode: its script file lives there, and goes with the key.
        run = tvn.Spawn(" c+", spawn_options=env)
        dialog = tvn.wait_window(title=COMMAND_CAPTION, pid=run.pid, timeout=60)
        self.assertIsNotNone(dialog, "the command dialog did not open")
        self.assertTrue(os.path.exists(os.path.join(temp, "TVN_%d.script" % run.pid)))
        tvn.inspect("--hwnd", dialog["hwnd"], "--close")
        self.assertEqual(run.exit_code(), 0)
        self.assertFalse(os.path.exists(os.path.join(temp, "TVN_%d.script" % run.pid)))
        self.assertFalse(tvn.key_exists(self.key(run.pid)))
        # The diagnostics mode: the quoted log path takes the blanks.
        run = tvn.Spawn(" t", spawn_options=env)
        self.assertEqual(run.exit_code(), 0)
        with open(os.path.join(temp, "TVN_diag.log"), "rb") as f:
            log = f.read().decode("cp866", "replace")
        self.assertEqual(log.count(" DONE"), 3, log)

    def test_an_unusable_temporary_folder_gives_message_5_and_writes_nothing(self):
        # A TMP too long for the query: no folder, so no script and no copy
        # named relative to the current directory.
        work = os.path.join(self.temp, "tvn seq cwd %d" % os.getpid())
        os.makedirs(work, exist_ok=True)
        self.cleanup_paths.append(work)
        too_long = "C:\\" + "x" * 300 + "\\"
        for tail in ("", " c", " t"):
            with self.subTest(tail=tail):
                run = tvn.Spawn(tail, spawn_options=["--cwd", tvn.winpath(work), "--env", "TMP=" + too_long])
                self.expect_boxes(run.pid, "FATAL ERROR: Extract script!\r\nError (206): ", 1)
                self.assertEqual(run.exit_code(), 0)
                self.assertEqual(os.listdir(work), [])
                self.assertFalse(tvn.key_exists(self.key(run.pid)))

    def diag_log(self):
        return os.path.join(self.temp, "TVN_diag.log")

    def wait_notepad(self):
        return tvn.wait_window(title="TVN_diag", timeout=40)

    def test_diagnostics_mode_logs_three_runs_and_shows_the_log(self):
        # Someone who shares the temporary folder made the log's name a hard
        # link to a file of theirs: it is replaced, never written through.
        theirs = os.path.join(self.temp, "TVN_diag theirs.txt")
        with open(theirs, "w") as f:
            f.write("OLD LOG\r\n")
        self.cleanup_paths.append(theirs)
        if os.path.lexists(self.diag_log()):
            os.remove(self.diag_log())
        os.link(theirs, self.diag_log())
        run = tvn.Spawn(" t")
        self.assertEqual(run.exit_code(), 0)
        with open(self.diag_log(), "rb") as f:
            log = f.read().decode("cp866", "replace")
        with open(theirs, "rb") as f:
            self.assertEqual(f.read(), b"OLD LOG\r\n")
        self.assertEqual([n for n in os.listdir(self.temp) if n.startswith("TVN%d-" % run.pid)], [],
                         "the runs' own file became the log")
        # The first run starts the log afresh (Wine's script host prints no
        # banner); all three runs are there, in order.
        self.assertNotIn("OLD LOG", log)
        order = [log.find(word) for word in ("AuthDlg...", "CmdDlg...", "Clear...")]
        self.assertTrue(all(i >= 0 for i in order) and order == sorted(order), log)
        self.assertEqual(log.count(" DONE"), 3, log)
        self.assertIsNotNone(self.wait_notepad(), "Notepad did not open the log")
        tvn.screenshot("sequence-diagnostics")
        self.assertFalse(tvn.key_exists(self.key(run.pid)))
        self.assertFalse(os.path.exists(self.script_file(run.pid)))

    def test_diagnostics_runs_all_go_on_after_failures(self):
        run = tvn.Spawn(" t", spawn_options=["--env", MISSING_INTERPRETER])
        self.cleanup_paths.append(self.script_file(run.pid))
        self.expect_boxes(run.pid, EXECUTE_SCRIPT, 3)
        self.assertEqual(run.exit_code(), 0)
        self.assertIsNotNone(self.wait_notepad(), "the log display did not follow the failed runs")


if __name__ == "__main__":
    tvn.main()
