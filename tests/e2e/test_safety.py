"""Nothing planted runs or loads as the administrator, no stale description
mixes in, and the administrator copy starts with the arguments it should.

Programs and libraries are planted as real files where a limited user could
put them: the current directory the tool is started from, the folder that
holds TVN.exe and the root of drive C:. Each planted program is
tvn_plant.exe (or a batch file) and each planted library tvn_plant_dll.dll;
whichever runs leaves a marker file "<its path>.ran", so the absence of
markers proves that none ran.
"""

import os
import re
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tvn  # noqa: E402

ids = tvn.ids

LOGON_CAPTION = "TVN3: Авторизация"
COMMAND_CAPTION = "TVN3: Команды"
PLANTED_PROGRAMS = ("cscript.exe", "cmd.exe", "notepad.exe", "reg.exe", "regedit.exe")
BATCH = '@echo %*>>"%~f0.ran"\r\n'
TRACE = "fixme:advapi:CreateProcessWithLogonW "
PASSWORD = "Pl4nted-s3cret"


def marker_files(*folders):
    """The markers that planted programs and libraries left in the folders."""
    found = []
    for folder in folders:
        for name in sorted(os.listdir(folder)):
            if name.endswith(".ran"):
                with open(os.path.join(folder, name), "rb") as f:
                    found.append("%s: %s" % (name, f.read().decode("utf-8", "replace").strip()))
    return found


def debug_text(token):
    """A text as Wine's debug output prints it (L"..." with C escapes), or None for (null)."""
    if token == "(null)":
        return None
    if not (token.startswith('L"') and token.endswith('"')):
        raise AssertionError("not a traced text: %r" % token[:40])
    body, out, i = token[2:-1], [], 0
    while i < len(body):
        c = body[i]
        if c != "\\":
            out.append(c)
            i += 1
            continue
        e = body[i + 1]
        if e == "x":
            out.append(chr(int(body[i + 2:i + 6], 16)))
            i += 6
            continue
        out.append({"n": "\n", "r": "\r", "t": "\t"}.get(e, e))
        i += 2
    return "".join(out)


def logon_traces(text):
    """The CreateProcessWithLogonW calls in Wine's fixme+advapi trace, each as a dict of its arguments."""
    calls = []
    token = r'L"(?:[^"\\]|\\.)*"|\(null\)|\S+'
    for line in text.splitlines():
        at = line.find(TRACE)
        if at < 0:
            continue
        words = re.findall(token, line[at + len(TRACE):])
        if len(words) < 11:
            raise AssertionError("a trace line with %d arguments" % len(words))
        calls.append({
            # Wine 10 traces the password as a pointer, older Wines as text.
            "user": debug_text(words[0]), "domain": debug_text(words[1]),
            "password": debug_text(words[2]) if words[2].startswith('L"') else int(words[2], 16),
            "logon_flags": int(words[3], 16), "application": debug_text(words[4]),
            "command_line": debug_text(words[5]), "creation_flags": int(words[6], 16),
            "environment": words[7], "current_directory": debug_text(words[8]),
        })
    return calls


def redacted(value):
    """Any text with the test password blotted out, for messages."""
    return str(value).replace(PASSWORD, "<password>")


class PlantingTest(tvn.TvnTestCase):
    """TVN.exe copied into a folder of planted programs and started from another such folder on drive C:."""

    def setUp(self):
        super().setUp()
        self.root = tempfile.mkdtemp(prefix="tvn planted ", dir=tvn.temp_dir_unix())
        self.addCleanup(shutil.rmtree, self.root, True)
        self.app = os.path.join(self.root, "shared tools")
        self.work = os.path.join(self.root, "work")
        os.makedirs(self.app)
        os.makedirs(self.work)
        self.tvn = os.path.join(self.app, "TVN.exe")
        shutil.copyfile(tvn.exe("TVN.exe"), self.tvn)
        self.pids = []

    def tearDown(self):
        for image in ("notepad.exe", "regedit.exe"):
            tvn.kill_image(image)
        for pid in self.pids:
            tvn.reg_delete(r"HKCU\Software\TVN\%d" % pid)
        super().tearDown()

    def plant(self, names, folders=None):
        for folder in folders or (self.app, self.work):
            for name in names:
                path = os.path.join(folder, name)
                if name.endswith((".bat", ".cmd")):
                    with open(path, "w", newline="") as f:
                        f.write(BATCH)
                elif name.endswith(".dll"):
                    shutil.copyfile(tvn.exe("tvn_plant_dll.dll"), path)
                else:
                    shutil.copyfile(tvn.exe("tvn_plant.exe"), path)

    def start(self, tail, tool_env=(), **options):
        """TVN.exe from the planted folder, started in the other one; `tool_env` holds NAME=VALUE texts for it."""
        spawn_options = ["--cwd", tvn.winpath(self.work)]
        for assignment in tool_env:
            spawn_options += ["--env", assignment]
        run = tvn.Spawn(tail, program=self.tvn, spawn_options=spawn_options, **options)
        self.pids.append(run.pid)
        return run

    def assert_nothing_planted_ran(self, what):
        self.assertEqual(marker_files(self.app, self.work), [], "%s: a planted program or library ran" % what)

    def open_and_close(self, tail, caption, tool_env=()):
        run = self.start(tail, tool_env)
        dialog = tvn.wait_window(title=caption, pid=run.pid, timeout=60)
        self.assertIsNotNone(dialog, "%r did not open its dialog (markers: %s)" % (
            tail, marker_files(self.app, self.work)))
        self.assertIsNotNone(tvn.reg_query_key(r"HKCU\Software\TVN\%d" % run.pid), "no description written")
        tvn.inspect("--hwnd", dialog["hwnd"], "--close")
        self.assertEqual(run.exit_code(), 0)
        # The clean-up run went through the system's script host too.
        self.assertFalse(tvn.key_exists(r"HKCU\Software\TVN\%d" % run.pid))

    def test_logon_and_command_modes_run_no_planted_program(self):
        self.plant(PLANTED_PROGRAMS + ("cscript.bat", "cscript.cmd", "cmd.bat"))
        self.open_and_close("", LOGON_CAPTION)
        self.assert_nothing_planted_ran("log-on mode")
        self.open_and_close(" c+", COMMAND_CAPTION)
        self.assert_nothing_planted_ran("command mode")
        # A COMSPEC that is no full path is not looked up from the current directory.
        self.open_and_close(" c+", COMMAND_CAPTION, tool_env=["COMSPEC=cmd.exe"])
        self.assert_nothing_planted_ran("command mode with COMSPEC=cmd.exe")

    def test_a_planted_batch_file_alone_does_not_run_either(self):
        # The case as it was reported: only cscript.bat in the folder the tool
        # is started from.
        self.plant(["cscript.bat"], folders=[self.work])
        self.open_and_close(" c+", COMMAND_CAPTION)
        self.assert_nothing_planted_ran("command mode")

    def test_diagnostics_mode_runs_no_planted_program_and_shows_the_log(self):
        self.plant(PLANTED_PROGRAMS + ("cscript.bat", "notepad.bat", "cmd.bat"))
        log = os.path.join(tvn.temp_dir_unix(), "TVN_diag.log")
        run = self.start(" t")
        self.assertEqual(run.exit_code(), 0)
        self.assert_nothing_planted_ran("diagnostics mode")
        with open(log, "rb") as f:
            text = f.read().decode("cp866", "replace")
        self.assertEqual(text.count(" DONE"), 3, text)
        notepad = tvn.wait_window(title="TVN_diag", timeout=40)
        self.assertIsNotNone(notepad, "the system's Notepad did not show the log")
        self.assertEqual(notepad["exe"].lower(), "notepad.exe")
        self.assert_nothing_planted_ran("diagnostics mode, log display")

    def plant_in_root(self, names):
        """Plants in C:\\, the commands' working directory, which every user may write on Windows 2000."""
        root = tvn.unixpath("C:\\")
        for name in names:
            for path in (os.path.join(root, name), os.path.join(root, name + ".ran")):
                self.addCleanup(lambda p=path: os.path.exists(p) and os.remove(p))
        self.plant(names, folders=[root])
        return root

    def test_registry_editor_row_starts_the_system_regedit_in_the_drive_root(self):
        # The tool's current directory is a folder on drive C: holding a
        # regedit.exe; "C:" alone would stand for that folder. The working
        # directory, C:\, holds one too.
        self.plant(["regedit.exe", "regedit.bat"], folders=[self.work])
        root = self.plant_in_root(["regedit.exe"])
        run = self.start(" c+")
        dialog = tvn.wait_window(title=COMMAND_CAPTION, pid=run.pid, timeout=60)
        self.assertIsNotNone(dialog, "the command dialog did not open")
        values = tvn.reg_query_key(r"HKCU\Software\TVN\%d" % run.pid)
        rows = [n for n in range(int(values["1.2#20"])) if values.get("1.2.%d#4" % n) == "regedit.exe"]
        self.assertEqual(len(rows), 1, "the default description has one Registry editor row")
        item = next(i for i in tvn.control(dialog, ids.IDC_COMMAND_LIST)["items"] if i["param"] == rows[0])
        point = tvn.inspect("--hwnd", dialog["hwnd"], "--lv-dblclick", ids.IDC_COMMAND_LIST, item["index"])
        self.assertTrue(point.get("ok"), point)
        tvn.xdotool("mousemove", "--sync", point["x"], point["y"])
        tvn.xdotool("click", "--repeat", "2", "--delay", "80", "1")

        def editor_or_planted():
            if marker_files(self.work, root):
                return "planted"
            return next((w for w in tvn.inspect("--all")["windows"]
                         if (w.get("exe") or "").lower() == "regedit.exe"), None)
        editor = tvn.wait_until(editor_or_planted, 40, 0.3)
        self.assert_nothing_planted_ran("the Registry editor row")
        self.assertEqual(marker_files(root), [], "the regedit.exe planted in C:\\ ran")
        self.assertIsInstance(editor, dict, "the system's Registry editor did not start")
        # The Registry editor of 64-bit Windows is a 64-bit program, whatever
        # started it: the x86-64 tree's inspector reads its directory.
        cwd = tvn.inspect("--process-cwd", editor["pid"],
                          program=os.path.join(os.path.dirname(tvn.build_dir()), "win", "tvn_inspect.exe"))
        self.assertEqual(cwd.get("cwd", "").lower(), "c:\\", cwd)
        tvn.kill_image("regedit.exe")
        tvn.inspect("--hwnd", dialog["hwnd"], "--close")
        self.assertEqual(run.exit_code(), 0)

    def test_a_typed_document_that_only_the_drive_root_holds_is_refused(self):
        root = self.plant_in_root(["tvn_planted.txt"])
        with open(os.path.join(root, "tvn_planted.txt"), "w") as f:
            f.write("planted")
        run = self.start(" c")
        dialog = tvn.wait_window(title=COMMAND_CAPTION, pid=run.pid, timeout=60)
        self.assertIsNotNone(dialog, "the command dialog did not open")
        tvn.inspect("--hwnd", dialog["hwnd"], "--set-text", ids.IDC_COMMAND_LINE, "tvn_planted.txt")
        self.assertTrue(tvn.inspect("--hwnd", dialog["hwnd"], "--click", ids.IDC_COMMAND_EXECUTE)["ok"])
        box = tvn.wait_box(pid=run.pid, timeout=40)
        self.assertIsNotNone(box, "Execute showed no box")
        self.assertTrue(tvn.box_text(box).startswith("Error (2): "), tvn.box_text(box))
        self.assertFalse([w for w in tvn.inspect("--all")["windows"] if "tvn_planted" in (w.get("title") or "")])
        tvn.inspect("--hwnd", box["hwnd"], "--click", 1)
        tvn.inspect("--hwnd", dialog["hwnd"], "--close")
        self.assertEqual(run.exit_code(), 0)

    def log_on(self, run, dialog, load_profile):
        """Types the credentials into the real dialog and presses Log on; returns the warning box's text."""
        hwnd = dialog["hwnd"]
        typed = ((ids.IDC_LOGON_DOMAIN, "CORP"), (ids.IDC_LOGON_USER, "admin"), (ids.IDC_LOGON_PASSWORD, PASSWORD))
        for control_id, text in typed:
            self.assertTrue(tvn.inspect("--hwnd", hwnd, "--set-text", control_id, text)["ok"])
        # The default description keeps the box disabled; its state is what Log on reads.
        self.assertTrue(tvn.inspect("--hwnd", hwnd, "--set-check", ids.IDC_LOGON_LOAD_PROFILE,
                                       1 if load_profile else 0)["ok"])
        self.assertTrue(tvn.inspect("--hwnd", hwnd, "--click", ids.IDC_LOGON_LOGON)["ok"])
        # Wine cannot log on as another account: the start fails and is reported.
        box = tvn.wait_box(pid=run.pid, timeout=40)
        self.assertIsNotNone(box, "Log on showed no box")
        text = tvn.box_text(box)
        tvn.inspect("--hwnd", box["hwnd"], "--click", 1)
        tvn.wait_until(lambda: not tvn.wait_box(pid=run.pid, timeout=0), 15)
        return redacted(text)

    def test_administrator_copy_start_arguments(self):
        # Wine's advapi32 traces the calls on the standard error, which stays
        # in this process's memory; the password is never printed.
        trace = "-all,fixme+advapi"
        run = self.start("", tool_env=["WINEDEBUG=" + trace], capture_stderr=True, env={"WINEDEBUG": trace})
        dialog = tvn.wait_window(title=LOGON_CAPTION, pid=run.pid, timeout=60)
        self.assertIsNotNone(dialog, "the log-on dialog did not open")

        # Without the profile: Wine's CreateProcessWithLogonW is a stub that
        # traces every argument and fails without a code.
        self.assertTrue(self.log_on(run, dialog, False).startswith("Error (31): "))
        tvn.wait_until(lambda: logon_traces(run.stderr_text()), 10)
        calls = logon_traces(run.stderr_text())
        self.assertEqual(len(calls), 1, "one start under the typed account")
        call = calls[0]
        self.assertTrue(call["password"] in (PASSWORD,) or isinstance(call["password"], int) and call["password"],
                        "the typed password reaches the call")
        call = {k: redacted(v) for k, v in call.items() if k != "password"}
        self.assertEqual(call["user"], "admin", call)
        self.assertEqual(call["domain"], "CORP", call)
        self.assertEqual(call["logon_flags"], "0", call)
        self.assertEqual(call["application"].lower(), tvn.winpath(self.tvn).lower(), call)
        self.assertEqual(call["command_line"], " c", call)
        self.assertEqual(call["creation_flags"], "0", call)
        self.assertEqual(int(call["environment"], 16), 0, call)
        self.assertEqual(call["current_directory"], "C:\\windows\\system32",
                         "the copy starts in the system folder, never in the caller's directory: %s" % call)

        # With the profile: a separate log-on first (Wine hands out a token
        # that CreateEnvironmentBlock refuses, so the start stops there).
        text = self.log_on(run, dialog, True)
        self.assertTrue(text.startswith("Error (6): "), text)
        self.assertIn('fixme:advapi:LogonUserW L"admin" L"CORP" ', run.stderr_text())
        self.assertEqual(len(logon_traces(run.stderr_text())), 1, "no second start")
        tvn.inspect("--hwnd", dialog["hwnd"], "--close")
        self.assertEqual(run.exit_code(), 0)

    def test_userenv_beside_the_executable_is_not_loaded_for_the_profile(self):
        self.plant(["userenv.dll"])
        run = self.start("")
        dialog = tvn.wait_window(title=LOGON_CAPTION, pid=run.pid, timeout=60)
        self.assertIsNotNone(dialog, "the log-on dialog did not open")
        text = self.log_on(run, dialog, True)
        self.assert_nothing_planted_ran("log on with the profile")
        # The system's userenv.dll was loaded and used: its CreateEnvironmentBlock
        # refused Wine's stand-in token.
        self.assertTrue(text.startswith("Error (6): "), text)
        tvn.inspect("--hwnd", dialog["hwnd"], "--close")
        self.assertEqual(run.exit_code(), 0)
        self.assert_nothing_planted_ran("log on with the profile")


class LeftoverDescriptionTest(tvn.TvnTestCase):
    """A description key left by a dead process under the next process's identifier."""

    def plant_leftover(self, pid, values):
        key = r"HKCU\Software\TVN\%d" % pid
        for name, value in values.items():
            tvn.reg_add(key, name, value)
        tvn.reg_add(key + r"\stale subkey", "x", "1")
        self.addCleanup(tvn.reg_delete, key)
        return key

    def test_a_leftover_key_does_not_show_up_in_the_dialogs(self):
        stale = {"0.10#3": "stale-password", "0.13#22": "1", "0.7.1#3": "intruder", "0.7#20": "2",
                 "1.4#3": "stale command", "1.2.16#3": "Stale row", "1.2.16#4": "cmd.exe", "1.3.9.0#3": "Stale"}
        for tail, caption in (("", LOGON_CAPTION), (" c+", COMMAND_CAPTION)):
            with self.subTest(mode=caption):
                run = tvn.Spawn(tail, suspended=True)
                key = self.plant_leftover(run.pid, stale)
                run.resume()
                dialog = tvn.wait_window(title=caption, pid=run.pid, timeout=60)
                self.assertIsNotNone(dialog, "the dialog did not open")
                values = tvn.reg_query_key(key)
                # The script wrote into an empty key: none of the old values is left.
                for name in ("0.10#3", "0.13#22", "0.7.1#3", "1.4#3", "1.2.16#3", "1.2.16#4", "1.3.9.0#3"):
                    self.assertNotIn(name, values)
                self.assertFalse(tvn.key_exists(key + r"\stale subkey"))
                if tail == "":
                    self.assertEqual(tvn.control(dialog, ids.IDC_LOGON_CURRENT_CREDENTIALS)["checked"], 0)
                    self.assertTrue(tvn.control(dialog, ids.IDC_LOGON_PASSWORD)["enabled"])
                    self.assertEqual(tvn.control(dialog, ids.IDC_LOGON_PASSWORD)["text"] or "", "")
                    self.assertNotIn("intruder", tvn.control(dialog, ids.IDC_LOGON_USER).get("items", []))
                else:
                    self.assertEqual(tvn.control(dialog, ids.IDC_COMMAND_LINE)["text"] or "", "")
                    self.assertEqual(tvn.control(dialog, ids.IDC_COMMAND_LIST)["count"], 16)
                tvn.inspect("--hwnd", dialog["hwnd"], "--close")
                self.assertEqual(run.exit_code(), 0)
                self.assertFalse(tvn.key_exists(key))


if __name__ == "__main__":
    tvn.main()
