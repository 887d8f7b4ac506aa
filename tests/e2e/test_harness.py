"""The Wine test environment itself: prefix, code page, cscript shim, registry helpers, display."""

import os
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tvn  # noqa: E402

# Writes every argument after the first on its own line into the file named by
# the first argument. CreateTextFile writes ANSI text, so the bytes show the
# process's ANSI code page. Ends with exit code 7 when asked to.
ECHO_SCRIPT = r"""
var out = WScript.Arguments(0);
var fso = new ActiveXObject("Scripting.FileSystemObject");
var f = fso.CreateTextFile(out, true);
for (var i = 1; i < WScript.Arguments.length; i++) f.WriteLine(WScript.Arguments(i));
f.Close();
if (WScript.Arguments.length > 1 && WScript.Arguments(1) == "quit7") WScript.Quit(7);
"""


class HarnessTest(tvn.TvnTestCase):
    def setUp(self):
        super().setUp()
        self.temp = tvn.temp_dir_unix()
        self.made = []

    def tearDown(self):
        for path in self.made:
            if os.path.exists(path):
                os.unlink(path)
        super().tearDown()

    def _file(self, name, text=None):
        path = os.path.join(self.temp, "tvn_harness_%d_%s" % (os.getpid(), name))
        if os.path.exists(path):
            os.unlink(path)
        if text is not None:
            with open(path, "w", encoding="ascii", newline="\r\n") as f:
                f.write(text)
        self.made.append(path)
        return path

    def _read_lines(self, path):
        self.assertTrue(os.path.isfile(path), "the script wrote no file %s" % path)
        with open(path, "rb") as f:
            return f.read().decode("cp1251").split("\r\n")[:-1]

    def test_prefix_runs_cmd_and_paths_map_both_ways(self):
        result = tvn.wine(["cmd", "/c", "echo", "tvn-harness-ok"], timeout=60)
        self.assertEqual(result.returncode, 0, tvn.decode_console(result.stderr))
        self.assertIn("tvn-harness-ok", tvn.decode_console(result.stdout))
        self.assertTrue(os.path.isfile(os.path.join(tvn.prefix_dir(), ".tvn-setup")))

        win_temp = tvn.winpath(self.temp)
        self.assertTrue(win_temp.upper().startswith("C:\\USERS\\"), win_temp)
        self.assertEqual(tvn.unixpath(win_temp), self.temp)
        self.assertEqual(tvn.unixpath(win_temp.upper()), self.temp, "drive C: paths resolve without case")
        self.assertEqual(tvn.winpath("/usr/share"), "Z:\\usr\\share")
        self.assertEqual(tvn.unixpath("Z:\\usr\\share"), "/usr/share")

        # What the Wine side calls %TEMP% is the folder temp_dir_unix() names.
        result = tvn.wine(["cmd", "/c", "echo", "%TEMP%"], timeout=60)
        self.assertEqual(tvn.unixpath(tvn.decode_console(result.stdout).strip()), self.temp)

    def test_ansi_code_page_is_1251(self):
        values = tvn.reg_query_key(r"HKLM\System\CurrentControlSet\Control\Nls\CodePage")
        self.assertIsNotNone(values)
        self.assertEqual(values.get("ACP"), "1251")
        self.assertEqual(values.get("OEMCP"), "866")

    def test_cyrillic_argument_round_trips_through_the_shim(self):
        # The interpreter finds the system's cscript (the shim) by name and by
        # full path, the way TVN.exe names it, with a single-slash /nologo and
        # the engine switch.
        for extension in (".js", ".script"):
            with self.subTest(extension=extension):
                script = self._file("echo" + extension, ECHO_SCRIPT)
                out = self._file("out%s.txt" % extension)
                for host in ("cscript", "C:\\windows\\system32\\cscript.exe"):
                    result = tvn.wine(["cmd", "/c", host, "/nologo", "/e:javascript", tvn.winpath(script),
                                          tvn.winpath(out), "Привет"], timeout=60)
                    self.assertEqual(result.returncode, 0, tvn.decode_console(result.stdout + result.stderr))
                    self.assertEqual(self._read_lines(out), ["Привет"])
                    os.unlink(out)

        script = self._file("echo2.js", ECHO_SCRIPT)
        out = self._file("out2.txt")
        result = tvn.wine(["cscript", "//nologo", "/e:javascript", tvn.winpath(script),
                              tvn.winpath(out), "Привет"], timeout=60)
        self.assertEqual(self._read_lines(out), ["Привет"], tvn.decode_console(result.stdout))

    def test_engine_switch_is_dropped_only_by_the_shim(self):
        script = self._file("echo3.js", ECHO_SCRIPT)
        # The shim is the system's cscript.exe; Wine's own script host sits beside it.
        shim = os.path.join(tvn.system_folder_unix(), "cscript.exe")
        with open(shim, "rb") as installed, open(tvn.exe("cscript.exe"), "rb") as built:
            self.assertEqual(installed.read(), built.read(), "the system's cscript.exe is not the shim")
        system_host = "C:\\windows\\system32\\" + tvn.WINE_CSCRIPT

        direct = self._file("direct.txt")
        tvn.wine([system_host, "//nologo", "/e:javascript", tvn.winpath(script), tvn.winpath(direct), "x"])
        self.assertFalse(os.path.exists(direct), "Wine's own cscript now accepts /e:javascript; the shim may go")

        for switch in ("/e:javascript", "//E:JScript", "/E:jscript"):
            with self.subTest(switch=switch):
                out = self._file("switch.txt")
                result = tvn.wine([shim, "//nologo", switch, tvn.winpath(script), tvn.winpath(out), "x"])
                self.assertEqual(result.returncode, 0, tvn.decode_console(result.stdout + result.stderr))
                self.assertEqual(self._read_lines(out), ["x"])

        # An engine switch after the script name belongs to the script.
        out = self._file("after.txt")
        tvn.wine([shim, "//nologo", tvn.winpath(script), tvn.winpath(out), "/e:javascript"])
        self.assertEqual(self._read_lines(out), ["/e:javascript"])

    def test_shim_keeps_arguments_and_exit_code(self):
        script = self._file("echo4.js", ECHO_SCRIPT)
        shim = "C:\\windows\\system32\\cscript.exe"
        out = self._file("quoted.txt")
        awkward = ["two words", 'say "hi"', "C:\\dir with space\\", "back\\\\slash\\", "tab\there", "Ёлка ёж"]
        result = tvn.wine([shim, "//nologo", "/e:javascript", tvn.winpath(script), tvn.winpath(out)] + awkward)
        self.assertEqual(result.returncode, 0, tvn.decode_console(result.stdout + result.stderr))
        self.assertEqual(self._read_lines(out), awkward)

        out = self._file("quit.txt")
        result = tvn.wine([shim, "//nologo", "/e:javascript", tvn.winpath(script), tvn.winpath(out), "quit7"])
        self.assertEqual(result.returncode, 7, "the shim must return the script host's exit code")

    def test_registry_helpers_round_trip(self):
        key = r"HKCU\Software\TVN\harness-%d" % os.getpid()
        self.addCleanup(tvn.reg_delete, key)
        texts = {
            "Имя": "Значение 1251",
            "empty": "",
            "quotes": 'a "quoted" \\path\\',
            "lines": "one\r\ntwo",
            "fields": "0#1#Tahoma#-11#0#0#400#0#0#0",
        }
        for name, value in texts.items():
            tvn.reg_add(key, name, value)
        tvn.reg_add(key, "", "default text")
        tvn.reg_add(key, "count", 4294967295, type="REG_DWORD")
        tvn.reg_add(key, "list", ["a", "б"], type="REG_MULTI_SZ")

        values = tvn.reg_query_key(key)
        expected = dict(texts, **{"": "default text", "count": 4294967295, "list": ["a", "б"]})
        self.assertEqual(values, expected)
        self.assertTrue(tvn.key_exists(key))

        # The exported text and the Windows side's view agree: reg query sees the Cyrillic name.
        result = tvn.wine(["reg", "query", key, "/v", "Имя"], timeout=30)
        self.assertIn("Значение 1251", tvn.decode_console(result.stdout))

        self.assertTrue(tvn.reg_delete(key, "empty"))
        self.assertNotIn("empty", tvn.reg_query_key(key))
        self.assertTrue(tvn.reg_delete(key))
        self.assertFalse(tvn.key_exists(key))
        self.assertIsNone(tvn.reg_query_key(key))
        self.assertEqual(tvn.reg_value(key, "Имя", "gone"), "gone")

    def test_windows_version_switch(self):
        self.addCleanup(tvn.reset_windows_version)
        tvn.set_windows_version("winxp")
        self.assertEqual(tvn.reg_value(r"HKCU\Software\Wine", "Version"), "winxp")
        tvn.reset_windows_version()
        self.assertIsNone(tvn.reg_value(r"HKCU\Software\Wine", "Version"))

    def test_windows_appear_on_the_virtual_desktop(self):
        proc = tvn.wine_start(["notepad"])
        self.addCleanup(tvn.kill_image, "notepad.exe")
        names = tvn.wait_until(lambda: tvn.x_windows("Notepad|Блокнот"), 30)
        self.assertTrue(names, "Notepad showed no window on %s" % os.environ.get("DISPLAY"))
        # The system's own texts are English (the "Open" dialog, message texts) while the
        # code pages are Russian.
        self.assertTrue(any(name.endswith("- Notepad") for name in names), names)

        path = tvn.screenshot("harness-notepad")
        with open(path, "rb") as f:
            header = f.read(24)
        self.assertEqual(header[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual(struct.unpack(">II", header[16:24]), (1024, 768))

        self.assertTrue(tvn.kill_image("notepad.exe"))
        self.assertIsNotNone(proc.poll(), "the unix process of the ended Notepad is still there")

    def test_the_environment_is_the_one_of_the_shell_script(self):
        # scripts/wine-env.sh made it: the build tree's prefix and locales, the
        # variables that must stay unset gone, and a display.
        prefix = os.path.join(tvn.build_dir(), "wineprefix")
        self.assertEqual(os.path.realpath(os.environ["WINEPREFIX"]), os.path.realpath(prefix))
        self.assertEqual(os.environ.get("LC_CTYPE"), "ru_RU.UTF-8")
        self.assertEqual(os.environ.get("LC_MESSAGES"), "en_US.UTF-8")
        self.assertTrue(os.path.isfile(os.path.join(os.environ["LOCPATH"], "ru_RU.UTF-8", "LC_CTYPE")))
        for name in ("LC_ALL", "WINEPATH", "TVN_XVFB_PID"):
            self.assertNotIn(name, os.environ)
        self.assertTrue(os.environ.get("DISPLAY"))

    def test_wine_is_the_test_root_s_wine_10_and_leaves_no_mount_behind(self):
        root = os.environ["TVN_WINE_ROOT"]

        def mounts():
            with open("/proc/self/mountinfo", encoding="utf-8") as f:
                return [line for line in f if root in line]
        self.assertEqual(mounts(), [], "the host's namespace holds a mount of the root")
        result = tvn.wine(["cmd", "/c", "ver"], timeout=60)
        self.assertEqual(result.returncode, 0)
        self.assertEqual(mounts(), [], "a Wine call left a mount in the host's namespace")
        version = subprocess.run(["wine", "--version"], stdout=subprocess.PIPE, timeout=60, check=True)
        self.assertTrue(version.stdout.startswith(b"wine-10."), version.stdout)
        # `wine` is the link that runs the root's command.
        self.assertEqual(os.path.realpath(shutil.which("wine")),
                         os.path.join(tvn.source_dir(), "scripts", "wine-bin", "in-root"))

    def test_the_shell_environment_is_taken_over_exactly(self):
        from tvn import env
        saved = dict(os.environ)

        def restore():
            os.environ.clear()
            os.environ.update(saved)
        self.addCleanup(restore)
        os.environ.update({"TVN_T_SAME": "same", "TVN_T_CHANGED": "old", "TVN_T_UNSET": "x", "TVN.T.ODD": "kept"})
        printed = [(k, v) for k, v in os.environ.items() if not k.startswith("TVN_T_") and k != "TVN.T.ODD"]
        printed += [("TVN_T_SAME", "same"), ("TVN_T_CHANGED", "new"), ("TVN_T_NEW", "a=b\nc"),
                    ("_", "/usr/bin/env"), ("SHLVL", "9")]
        env._take_over(b"\0".join(("%s=%s" % item).encode("utf-8", "surrogateescape") for item in printed) + b"\0")
        self.assertEqual(os.environ.get("TVN_T_SAME"), "same")
        self.assertEqual(os.environ.get("TVN_T_CHANGED"), "new")
        self.assertEqual(os.environ.get("TVN_T_NEW"), "a=b\nc")
        self.assertNotIn("TVN_T_UNSET", os.environ, "a variable the script unset goes")
        self.assertEqual(os.environ.get("TVN.T.ODD"), "kept", "a name the shell cannot carry is left alone")
        self.assertEqual(os.environ.get("SHLVL"), saved.get("SHLVL"), "the shell's own variables are not taken")
        self.assertEqual(os.environ.get("_"), saved.get("_"))

    def test_control_ids_come_from_the_resource_header(self):
        ids = tvn.ids
        self.assertEqual((ids.IDD_LOGON, ids.IDD_COMMAND, ids.IDD_SPLASH, ids.IDD_HELP), (200, 300, 400, 500))
        # Each dialog's controls take the ids of its block one after another.
        for prefix, first, count in (("IDC_LOGON_", 1200, 18), ("IDC_COMMAND_", 1300, 13),
                                     ("IDC_SPLASH_", 1400, 2), ("IDC_HELP_", 1500, 7)):
            found = sorted(value for name, value in vars(ids).items() if name.startswith(prefix))
            self.assertEqual(found, list(range(first, first + count)), prefix)
        self.assertEqual(ids.IDC_COMMAND_LIST, 1302)

        with tempfile.TemporaryDirectory() as folder:
            header = os.path.join(folder, "ids.h")
            with open(header, "w", encoding="utf-8") as f:
                f.write("#ifndef X\n#define IDC_A 7\n  #  define IDC_B 8  // note\n#define IDC_C (9)\n#endif\n")
            self.assertEqual(ids.read(header), {"IDC_A": 7, "IDC_B": 8})
            with open(header, "w", encoding="utf-8") as f:
                f.write("// nothing here\n")
            with self.assertRaises(AssertionError):
                ids.read(header)


if __name__ == "__main__":
    tvn.main()
