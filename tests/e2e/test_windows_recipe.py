"""The description guide's recipe for changing the dialogs with nothing but
Windows, and what the stored code page can carry.

A script as a Windows user writes it: many lines with CR LF line ends, code
page 1251, the two header lines kept; put into a copy of TVN.exe with the
update mode, its diagnostics run cleanly and its command dialog shows the new
row and the row's menu. The guide's common changes of the log-on dialog
(domain names, a user name, the profile box) take effect. A script with \\u
escapes shows letters that code page 1251 lacks. A script saved as UTF-8, as
newer Notepads do unless told otherwise, shows its Russian texts garbled, and
one saved as UTF-8 with a byte-order mark does not run at all.
"""

import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tvn  # noqa: E402

ids = tvn.ids

SOURCE = tvn.source_dir()
sys.path.insert(0, os.path.join(SOURCE, "scripts"))
import pack_script  # noqa: E402
import pe_resource  # noqa: E402

HEADER = "// TVN SCRIPT(compress)\r\n// BINARY VERSION >= 3.1.1.4\r\n"
ROW_ANCHOR = '    R("1.4#9", 1);'
OWN_ROW = [
    "    // A row of our own, with its menu; the popup shows the last entry on top.",
    '    AddCommandInList("notepad.exe", "Блокнот", "notepad.exe#0", vMenuCntr, 1, c1);',
    '    AddMenuInList("write.exe", "WordPad", "write.exe#0", 0, false);',
    '    AddMenuInList("notepad.exe", "Блокнот", "notepad.exe#0", 0, false);',
    "    CloseMenu();",
]
COMMAND_CAPTION = "TVN3: Команды"
LOGON_CAPTION = "TVN3: Авторизация"
ENGLISH_LOGON_CAPTION = "TVN3: Authorization"
LOAD_REGISTRY = "FATAL ERROR: Load data from registry!\r\n"


def readable_russian_script():
    """The default script as a reader keeps it: its comments, indentation and
    lines, with the Russian texts in its first statement and a row of its own."""
    with open(os.path.join(SOURCE, "resources", "description.js"), encoding="utf-8") as f:
        source = f.read()
    with open(os.path.join(SOURCE, "resources", "texts", "ru.txt"), encoding="utf-8") as f:
        table = pack_script.table_literal(pack_script.read_table(f.read(), "ru.txt"))
    lines = source.rstrip("\n").split("\n")
    lines = [line.replace("@texts", table) if line.startswith("var vText = @texts;") else line for line in lines]
    if lines.count(ROW_ANCHOR) != 1:
        raise AssertionError("description.js has not exactly one line %r" % ROW_ANCHOR)
    at = lines.index(ROW_ANCHOR)
    lines[at:at] = OWN_ROW
    return (HEADER + "\r\n".join(lines) + "\r\n").encode("cp1251")


class WindowsRecipeTest(tvn.TvnTestCase):
    def setUp(self):
        super().setUp()
        self.folder = os.path.join(tvn.build_dir(), "windows recipe %d" % os.getpid())
        os.makedirs(self.folder, exist_ok=True)
        self.runs = []
        self.leftovers = []

    def tearDown(self):
        for image in ("notepad.exe", "write.exe", "wordpad.exe"):
            tvn.kill_image(image)
        for name in os.listdir(self.folder):
            if name.lower().endswith(".exe"):
                tvn.kill_image(name)
        for run in self.runs:
            if run.proc.poll() is None:
                run.proc.kill()
            run.proc.wait(timeout=30)
            run.proc.stdout.close()
        for path in self.leftovers:
            if os.path.exists(path):
                os.unlink(path)
        shutil.rmtree(self.folder, ignore_errors=True)
        super().tearDown()

    def path(self, name):
        return os.path.join(self.folder, name)

    def start(self, tail, program):
        run = tvn.Spawn(tail, program=program)
        self.runs.append(run)
        return run

    def extract(self, program, name):
        """The script of `program`, taken out with its extract mode as the guide says."""
        run = self.start(' e "%s" "10" "750"' % tvn.winpath(self.path(name)), program)
        self.assertEqual(run.exit_code(), 0)
        with open(self.path(name), "rb") as f:
            return f.read()

    def copy_with(self, script_bytes, name):
        """A copy of TVN.exe carrying `script_bytes`, put in with TVN.exe's update mode."""
        with open(self.path(name + ".script"), "wb") as f:
            f.write(script_bytes)
        copy = self.path(name + ".exe")
        shutil.copyfile(tvn.exe("TVN.exe"), copy)
        run = self.start(' i "%s" "%s" "10" "750"' % (tvn.winpath(self.path(name + ".script")),
                                                      tvn.winpath(copy)), tvn.exe("TVN.exe"))
        self.assertEqual(run.exit_code(), 0)
        stored = pe_resource.load(copy).resource(10, 750)
        self.assertEqual([data for _, data in stored], [script_bytes], "the copy does not carry the script")
        return copy

    def open_dialog(self, program, tail, caption):
        run = self.start(tail, program)
        dialog = tvn.wait_window(title=caption, pid=run.pid, timeout=60)
        if dialog is None:
            box = tvn.wait_box(pid=run.pid, timeout=1)
            raise AssertionError("no dialog %r%s" % (caption, ": " + tvn.box_text(box) if box else ""))
        return run, tvn.refresh(dialog)

    def close(self, run, dialog):
        tvn.inspect("--hwnd", dialog["hwnd"], "--close")
        self.assertEqual(run.exit_code(), 0)

    def test_a_multiline_script_with_crlf_line_ends_shows_its_row_and_menu(self):
        script = readable_russian_script()
        self.assertGreater(script.count(b"\r\n"), 300, "the script stands on many lines")
        self.assertNotIn(b"\n", script.replace(b"\r\n", b""), "every line ends with CR LF")
        self.assertTrue(script.startswith(HEADER.encode("ascii")))
        copy = self.copy_with(script, "TVN-copy")

        # Checked with t: all three runs end well.
        log = os.path.join(tvn.temp_dir_unix(), "TVN_diag.log")
        run = self.start(" t", copy)
        self.assertEqual(run.exit_code(), 0)
        self.assertIsNotNone(tvn.wait_window(title="TVN_diag", timeout=40), "Notepad did not show the log")
        with open(log, "rb") as f:
            text = f.read().decode("cp866", "replace")
        self.assertEqual(text.count(" DONE"), 3, text)
        self.assertNotIn("ERROR", text)
        tvn.kill_image("notepad.exe")

        # The command dialog: the default rows and the new one, its menu on a right click.
        run, dialog = self.open_dialog(copy, " c+", COMMAND_CAPTION)
        values = run.description()
        self.assertEqual(values["1.2#20"], "17")
        rows = [n for n in range(17) if values.get("1.2.%d#3" % n) == "Блокнот"]
        self.assertEqual(len(rows), 1)
        row = rows[0]
        self.assertEqual(values["1.2.%d#4" % row], "notepad.exe")
        self.assertEqual(values["1.2.%d#5" % row], "1")
        menu = int(values["1.2.%d#6" % row])
        self.assertEqual(values["1.3#20"], str(menu + 1))
        self.assertEqual([values["1.3.%d.%d#3" % (menu, k)] for k in (0, 1)], ["WordPad", "Блокнот"])
        listview = tvn.control(dialog, ids.IDC_COMMAND_LIST)
        self.assertEqual(listview["count"], 17)
        item = next(i for i in listview["items"] if i["param"] == row)
        self.assertEqual(item["text"], "Блокнот")

        menus = tvn.right_click_list_item(dialog, ids.IDC_COMMAND_LIST, item["index"])
        self.assertEqual(len(menus), 1, "the row's menu did not open")
        if menus[0]["menu"]["readable"]:
            self.assertEqual([i["text"] for i in menus[0]["menu"]["items"]], ["Блокнот", "WordPad"])
        tvn.key("Escape")
        tvn.wait_until(lambda: not tvn.open_menus(), 10)
        self.close(run, dialog)

    def test_unicode_escapes_reach_the_dialog_as_their_letters(self):
        script = self.extract(tvn.exe("TVN-en.exe"), "english.script")
        edits = {
            b'logOn: "Log on"': b'logOn: "\\u0100\\u015e\\u0150 \\u03a9"',
            b'domainLabel: "Domain name:"': b'domainLabel: "Fran\\u00e7ais \\u0395\\u03bb\\u03bb\\u03b7\\u03bd'
                                            b'\\u03b9\\u03ba\\u03ac:"',
            b'passwordLabel: "Password:"': 'passwordLabel: "Пароль \\u00e9:"'.encode("cp1251"),
        }
        for old, new in edits.items():
            self.assertEqual(script.count(old), 1, old)
            script = script.replace(old, new)
        copy = self.copy_with(script, "TVN-escapes")

        run, dialog = self.open_dialog(copy, "", ENGLISH_LOGON_CAPTION)
        expected = {
            ids.IDC_LOGON_LOGON: "\u0100\u015e\u0150 \u03a9",
            ids.IDC_LOGON_DOMAIN_LABEL: "Français Ελληνικά:",
            ids.IDC_LOGON_PASSWORD_LABEL: "Пароль é:",
        }
        values = run.description()
        for control_id, name in ((ids.IDC_LOGON_LOGON, "0.14#3"), (ids.IDC_LOGON_DOMAIN_LABEL, "0.3#3"),
                                 (ids.IDC_LOGON_PASSWORD_LABEL, "0.9#3")):
            self.assertEqual(values[name], expected[control_id], name)
            self.assertEqual(tvn.control(dialog, control_id)["text"], expected[control_id], control_id)
        self.assertTrue(all(ord(ch) > 0xFF for ch in expected[ids.IDC_LOGON_LOGON].replace(" ", "")))
        for ch in "ĀŞŐΩçΕλ":
            self.assertRaises(UnicodeEncodeError, ch.encode, "cp1251")
        self.close(run, dialog)

    def test_the_guides_common_log_on_changes_take_effect(self):
        script = self.extract(tvn.exe("TVN-en.exe"), "english.script")
        edits = {
            b"function GetNTDomains() { return []; }": b'function GetNTDomains() { return ["OFFICE", "BRANCH"]; }',
            b'R("0.7#20", 0);': b'R("0.7#20", 1); R("0.7.0#3", "Administrator");',
            b'R("0.12#8", 1);': b'R("0.12#8", 0);',
        }
        for old, new in edits.items():
            self.assertEqual(script.count(old), 1, old)
            script = script.replace(old, new)
        copy = self.copy_with(script, "TVN-changes")

        run, dialog = self.open_dialog(copy, "", ENGLISH_LOGON_CAPTION)
        domain = tvn.control(dialog, ids.IDC_LOGON_DOMAIN)
        self.assertEqual(domain["items"], ["OFFICE", "BRANCH"])
        self.assertEqual(domain["selected"], 1, "the last domain is selected")
        user = tvn.control(dialog, ids.IDC_LOGON_USER)
        self.assertEqual(user["items"], ["Administrator"])
        self.assertEqual(user["selected"], 0)
        self.assertTrue(tvn.control(dialog, ids.IDC_LOGON_LOAD_PROFILE)["enabled"], "Load the profile can be ticked")
        self.assertEqual(tvn.control(dialog, ids.IDC_LOGON_LOAD_PROFILE)["checked"], 0)
        self.close(run, dialog)

    def test_saved_as_utf8_the_russian_texts_come_out_garbled_and_with_a_bom_nothing_runs(self):
        russian = self.extract(tvn.exe("TVN.exe"), "russian.script").decode("cp1251")
        self.assertIn('logOn: "Войти"', russian)
        utf8 = self.copy_with(russian.encode("utf-8"), "TVN-utf8")
        run, dialog = self.open_dialog(utf8, "", "TVN3: ")
        self.assertEqual(dialog["title"], "TVN3: " + "Авторизация".encode("utf-8").decode("cp1251"))
        self.assertEqual(tvn.control(dialog, ids.IDC_LOGON_LOGON)["text"], "Р’РѕР№С‚Рё")
        self.close(run, dialog)

        bom = self.copy_with(b"\xef\xbb\xbf" + russian.encode("utf-8"), "TVN-bom")
        run = self.start("", bom)
        self.leftovers.append(os.path.join(tvn.temp_dir_unix(), "TVN_%d.script" % run.pid))
        box = tvn.wait_box(pid=run.pid, timeout=60)
        self.assertIsNotNone(box, "no message box for a script that cannot run")
        self.assertTrue(tvn.box_text(box).startswith(LOAD_REGISTRY), tvn.box_text(box))
        tvn.inspect("--hwnd", box["hwnd"], "--click", 1)
        self.assertEqual(run.exit_code(), 0)
        self.assertFalse(tvn.key_exists(r"HKCU\Software\TVN\%d" % run.pid))
        self.assertFalse([w for w in tvn.inspect("--pid", run.pid)["windows"] if w["title"].startswith("TVN3")])


if __name__ == "__main__":
    tvn.main()
