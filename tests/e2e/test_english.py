"""TVN-en.exe, the copy of TVN.exe that carries the description script packed
with the English texts, and the worked example of docs/description.md (a row
with its own menu put into a copy with the update mode).

The English description must be the default one with other texts: the tests
compare the registry descriptions that the two executables write, value by
value.

The dialogs are also saved, cut to their windows, into build/screenshots/docs/;
with TVN_DOCS_SCREENSHOTS=1 they are copied into docs/screenshots/ too (the
pictures that the user's guide and the description guide show).
"""

import os
import re
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tvn  # noqa: E402

ids = tvn.ids

SOURCE = tvn.source_dir()
SCRIPT = os.path.join(SOURCE, "resources", "description.js")
ENGLISH_TEXTS = os.path.join(SOURCE, "resources", "texts", "en.txt")
EXAMPLE_LINES = os.path.join(SOURCE, "docs", "example_row.js")
PACKER = os.path.join(SOURCE, "scripts", "pack_script.py")
EXAMPLE_ANCHOR = '    R("1.4#9", 1);\n'

LOGON_CAPTION = "TVN3: Authorization"
COMMAND_CAPTION = "TVN3: Commands"
HELP_CAPTION = "TVN3: Help"
RUSSIAN_LOGON_CAPTION = "TVN3: Авторизация"
RUSSIAN_COMMAND_CAPTION = "TVN3: Команды"

LOGON_TEXTS = {
    ids.IDC_LOGON_DOMAIN_LABEL: "Domain name:",
    ids.IDC_LOGON_USER_LABEL: "User name:",
    ids.IDC_LOGON_PASSWORD_LABEL: "Password:",
    ids.IDC_LOGON_IGNORE_UAC: "Ignore UAC (available from Windows Vista on)",
    ids.IDC_LOGON_LOAD_PROFILE: "Load the profile",
    ids.IDC_LOGON_CURRENT_CREDENTIALS: "Use the current credentials",
    ids.IDC_LOGON_LOGON: "Log on",
    ids.IDC_LOGON_CLOSE: "Close",
    ids.IDC_LOGON_HELP: "?",
}
COMMAND_TEXTS = {
    ids.IDC_COMMAND_BROWSE: "Browse",
    ids.IDC_COMMAND_SUPPORT_FILTERS: "Filter support",
    ids.IDC_COMMAND_START_HIDDEN: 'Start the process "hidden"',
    ids.IDC_COMMAND_EXECUTE: "Execute",
    ids.IDC_COMMAND_CLOSE: "Close",
    ids.IDC_COMMAND_REFRESH: "Refresh",
    ids.IDC_COMMAND_AUTHORIZATION: "Authorization",
    ids.IDC_COMMAND_HELP: "?",
}
HELP_TEXTS = {
    ids.IDC_HELP_DISCLAIMER:
        "The authors accept no responsibility for destructive actions done by the program or with its help.",
    ids.IDC_HELP_CLOSE: "Close",
    ids.IDC_HELP_DIAGNOSTICS: "Diagnostics",
}
ROW_TITLES = [
    "Add or remove programs", "Display settings", "Regional settings", "Sounds and audio devices",
    "Registry editor", "System properties", "Date and time settings", "User accounts", "Hardware",
    "Internet options", "Computer management", "Task manager", "Command prompt", "Control panel",
    "Printers", "Network connections",
]
# Menu number -> entry titles, as the script adds them.
MENU_TITLES = {
    0: [""], 1: ["Windows components"], 2: ["Power options"], 3: ["Game controllers", "Mouse", "Keyboard"],
    4: ["Event viewer", "Shared folders", "Local users and groups", "Device manager", "Disk management",
        "Services", "Group policies"],
    5: ["control panel"], 6: ["printers"], 7: ["network"],
}

CYRILLIC = re.compile("[\u0400-\u04ff]")


def pack(source_text, output):
    """Packs a readable script with the English texts with scripts/pack_script.py; fails the
    test with its message."""
    source = output + ".js"
    with open(source, "w", encoding="utf-8") as f:
        f.write(source_text)
    result = subprocess.run([sys.executable, PACKER, "--texts", ENGLISH_TEXTS, source, output],
                            capture_output=True, text=True, timeout=60)
    os.unlink(source)
    if result.returncode != 0:
        raise AssertionError("pack_script.py failed: %s" % result.stderr)


def read_script():
    with open(SCRIPT, encoding="utf-8") as f:
        return f.read()


def example_script():
    """description.js with the guide's example lines put in before the command line's first value."""
    text = read_script()
    with open(EXAMPLE_LINES, encoding="utf-8") as f:
        lines = f.read()
    if text.count(EXAMPLE_ANCHOR) != 1:
        raise AssertionError("description.js has not exactly one line %r" % EXAMPLE_ANCHOR)
    return text.replace(EXAMPLE_ANCHOR, lines + EXAMPLE_ANCHOR)


def wait_gone(title, pid, timeout=15):
    return tvn.wait_until(lambda: not tvn.inspect("--title", title, "--pid", pid)["windows"], timeout)


def shot(name, window=None, margin=0):
    """A screenshot in the build's screenshot folder, and one cut to the window (and `margin`
    pixels around it) in its docs/ folder; with TVN_DOCS_SCREENSHOTS=1 that one is also copied
    into docs/screenshots."""
    path = tvn.screenshot("english-" + name)
    if window is not None:
        left, top, right, bottom = window["rect"]
        left, top = max(left - margin, 0), max(top - margin, 0)
        right, bottom = right + margin, bottom + margin
        target_dir = os.path.join(tvn.screenshot_dir(), "docs")
        os.makedirs(target_dir, exist_ok=True)
        target = os.path.join(target_dir, name + ".png")
        subprocess.run(["convert", path, "-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top),
                        "+repage", "-strip", target], check=True, timeout=60)
        if os.environ.get("TVN_DOCS_SCREENSHOTS") == "1":
            shutil.copyfile(target, os.path.join(SOURCE, "docs", "screenshots", name + ".png"))
    return path


class EnglishScriptTest(unittest.TestCase):
    """The script packed with the English texts, and with the guide's example too (no Wine needed)."""

    def test_english_script_packs_to_plain_ascii_and_the_example_too(self):
        folder = os.path.join(tvn.build_dir(), "english-test")
        os.makedirs(folder, exist_ok=True)
        for name, text in (("english.script", read_script()), ("example.script", example_script())):
            target = os.path.join(folder, name)
            pack(text, target)
            with open(target, "rb") as f:
                data = f.read()
            header, _, program = data.partition(b"\r\n// BINARY VERSION >= 3.1.1.4\r\n")
            self.assertEqual(header, b"// TVN SCRIPT(compress)")
            self.assertNotIn(b"\n", program)
            self.assertNotIn(b"\r", program)
            self.assertTrue(program.startswith(b'var vText = { osPrefix: "OS: ", '), program[:60])
            self.assertTrue(all(b < 0x80 for b in data))
        with open(os.path.join(folder, "example.script"), "rb") as f:
            self.assertIn(b'AddCommandInList("notepad.exe", "Notepad"', f.read())
        # The build packs TVN-en.exe's script the same way.
        with open(os.path.join(folder, "english.script"), "rb") as f, \
                open(os.path.join(tvn.build_dir(), "resources", "description_en.script"), "rb") as g:
            self.assertEqual(f.read(), g.read())


class EnglishDialogsTest(tvn.TvnTestCase):
    IMAGES = ("TVN-en.exe", "TVN-example.exe", "notepad.exe", "write.exe", "wordpad.exe")

    def setUp(self):
        super().setUp()
        for image in self.IMAGES:
            tvn.kill_image(image)
        self.runs = []
        self.cleanup_paths = []

    def tearDown(self):
        super().tearDown()
        for image in self.IMAGES:
            tvn.kill_image(image)
        for run in self.runs:
            if run.proc.poll() is None:
                run.proc.kill()
            run.proc.wait(timeout=30)
            run.proc.stdout.close()
        for path in self.cleanup_paths:
            shutil.rmtree(path, ignore_errors=True)

    def start(self, program, tail):
        run = tvn.Spawn(tail, program=program)
        self.runs.append(run)
        return run

    def open_dialog(self, program, tail, caption):
        """Starts the program, waits for its dialog; returns (run, dialog, registry description)."""
        run = self.start(program, tail)
        dialog = tvn.wait_window(title=caption, pid=run.pid, timeout=60)
        self.assertIsNotNone(dialog, "%s%s did not open %r" % (os.path.basename(program), tail, caption))
        self.assertEqual(dialog["title"], caption)
        return run, tvn.refresh(dialog), run.description()

    def close_dialog(self, run, dialog):
        tvn.inspect("--hwnd", dialog["hwnd"], "--close")
        self.assertEqual(run.exit_code(), 0)

    def russian_description(self, tail, caption):
        run, dialog, values = self.open_dialog(tvn.exe("TVN.exe"), tail, caption)
        self.close_dialog(run, dialog)
        return values

    def assert_translation_of(self, english, russian):
        """Same value names; texts with Russian words translated, every other value identical."""
        self.assertEqual(sorted(english), sorted(russian))
        for name, value in russian.items():
            if name in ("0.1#3", "1.1#3"):
                continue  # system caption and user name: the callers check their English words
            if name.endswith("#3") and CYRILLIC.search(value):
                self.assertIsNone(CYRILLIC.search(english[name]), name)
                self.assertNotEqual(english[name].strip(), "", name)
            else:
                self.assertEqual(english[name], value, name)

    def assert_texts(self, window, texts):
        for control_id, text in texts.items():
            self.assertEqual(tvn.control(window, control_id)["text"], text, control_id)

    def open_help(self, run, dialog, button):
        tvn.inspect("--hwnd", dialog["hwnd"], "--click", button)
        help_window = tvn.wait_window(title=HELP_CAPTION, pid=run.pid, timeout=30)
        self.assertIsNotNone(help_window, "the help dialog did not open")
        help_window = tvn.refresh(help_window)
        self.assertEqual(help_window["title"], HELP_CAPTION)
        self.assert_texts(help_window, HELP_TEXTS)
        self.assertTrue(tvn.control(help_window, ids.IDC_HELP_ABOUT)["text"].startswith("Tolvane 3.1 (build 15)"))
        return help_window

    def close_help(self, run, help_window):
        tvn.inspect("--hwnd", help_window["hwnd"], "--click", ids.IDC_HELP_CLOSE)
        self.assertTrue(wait_gone(HELP_CAPTION, run.pid), "Close did not end the help dialog")

    def test_logon_and_help_dialogs_in_english(self):
        russian = self.russian_description("", RUSSIAN_LOGON_CAPTION)
        run, dialog, english = self.open_dialog(tvn.exe("TVN-en.exe"), "", LOGON_CAPTION)
        self.assert_texts(dialog, LOGON_TEXTS)
        info = tvn.control(dialog, ids.IDC_LOGON_INFO)["text"]
        self.assertRegex(info, r"^OS: .*\r\nUser: \S")
        self.assertEqual(english["2#3"], HELP_CAPTION)
        self.assert_translation_of(english, russian)
        shot("logon", dialog)

        help_window = self.open_help(run, dialog, ids.IDC_LOGON_HELP)
        shot("help", help_window)
        self.close_help(run, help_window)
        self.close_dialog(run, dialog)

    def test_command_dialog_in_english_with_the_default_rows_and_menus(self):
        russian = self.russian_description(" c+", RUSSIAN_COMMAND_CAPTION)
        run, dialog, english = self.open_dialog(tvn.exe("TVN-en.exe"), " c+", COMMAND_CAPTION)
        self.assert_texts(dialog, COMMAND_TEXTS)
        self.assertRegex(tvn.control(dialog, ids.IDC_COMMAND_INFO)["text"], r"^OS: .*\r\nUser: \S")
        self.assert_translation_of(english, russian)

        # Row by row and menu by menu: the English titles, everything else as in the default.
        self.assertEqual(english["1.2#20"], str(len(ROW_TITLES)))
        for n, title in enumerate(ROW_TITLES):
            self.assertEqual(english["1.2.%d#3" % n], title)
            for attribute in (0, 2, 4, 5, 6):
                name = "1.2.%d#%d" % (n, attribute)
                self.assertEqual(english[name], russian[name], name)
        self.assertEqual(english["1.3#20"], str(len(MENU_TITLES)))
        for m, titles in MENU_TITLES.items():
            self.assertEqual(english["1.3.%d#20" % m], str(len(titles)))
            for k, title in enumerate(titles):
                self.assertEqual(english["1.3.%d.%d#3" % (m, k)], title)

        # The list shows every row once, sorted by its English title.
        listview = tvn.control(dialog, ids.IDC_COMMAND_LIST)
        self.assertEqual(listview["count"], len(ROW_TITLES))
        items = sorted(listview["items"], key=lambda item: item["index"])
        self.assertEqual([item["text"] for item in items], sorted(ROW_TITLES, key=str.lower))
        for item in items:
            self.assertEqual(item["text"], ROW_TITLES[item["param"]])
        shot("commands", dialog)

        help_window = self.open_help(run, dialog, ids.IDC_COMMAND_HELP)
        self.close_help(run, help_window)
        self.close_dialog(run, dialog)

    def wait_program_window(self, images, timeout=30):
        """The image name of the first of `images` that shows a window (its title is localised)."""
        return tvn.wait_until(lambda: next((w["exe"].lower() for w in tvn.inspect("--all")["windows"]
                                               if (w.get("exe") or "").lower() in images), None), timeout, 0.3)

    def test_guide_example_row_put_in_with_the_update_mode(self):
        folder = os.path.join(tvn.build_dir(), "english example %d" % os.getpid())
        os.makedirs(folder, exist_ok=True)
        self.cleanup_paths.append(folder)
        script = os.path.join(folder, "example.script")
        pack(example_script(), script)
        copy = os.path.join(folder, "TVN-example.exe")
        shutil.copyfile(tvn.exe("TVN.exe"), copy)
        # As the guide says: TVN.exe i "<script>" "<copy>" "10" "750", then the copy's e mode.
        update = self.start(tvn.exe("TVN.exe"), ' i "%s" "%s" "10" "750"' % (
            tvn.winpath(script), tvn.winpath(copy)))
        self.assertEqual(update.exit_code(), 0)
        extracted = os.path.join(folder, "extracted.script")
        extract = self.start(copy, ' e "%s" "10" "750"' % tvn.winpath(extracted))
        self.assertEqual(extract.exit_code(), 0)
        with open(script, "rb") as f, open(extracted, "rb") as g:
            self.assertEqual(g.read(), f.read(), "the copy does not carry the example script")

        run, dialog, values = self.open_dialog(copy, " c+", COMMAND_CAPTION)
        count = len(ROW_TITLES) + 1
        self.assertEqual(values["1.2#20"], str(count))
        rows = [n for n in range(count) if values.get("1.2.%d#3" % n) == "Notepad"]
        self.assertEqual(len(rows), 1)
        row = rows[0]
        self.assertEqual(values["1.2.%d#4" % row], "notepad.exe")
        self.assertEqual(values["1.2.%d#0" % row], "notepad.exe#0")
        self.assertEqual(values["1.2.%d#5" % row], "1")
        menu = int(values["1.2.%d#6" % row])
        self.assertEqual(menu, len(MENU_TITLES), "the new menu comes after the default ones")
        self.assertEqual(values["1.3#20"], str(menu + 1))
        self.assertEqual(values["1.3.%d#20" % menu], "2")
        self.assertEqual([(values["1.3.%d.%d#3" % (menu, k)], values["1.3.%d.%d#4" % (menu, k)]) for k in (0, 1)],
                         [("WordPad", "write.exe"), ("Notepad", "notepad.exe")])

        listview = tvn.control(dialog, ids.IDC_COMMAND_LIST)
        self.assertEqual(listview["count"], count)
        item = next(i for i in listview["items"] if i["param"] == row)
        self.assertEqual(item["text"], "Notepad")

        # The row's own menu: a right click opens it with Notepad on top; Down
        # and Return pick Notepad, which starts.
        menus = tvn.right_click_list_item(dialog, ids.IDC_COMMAND_LIST, item["index"])
        self.assertEqual(len(menus), 1, "the row's menu did not open")
        popup = menus[0]
        if popup["menu"]["readable"]:
            self.assertEqual([i["text"] for i in popup["menu"]["items"]], ["Notepad", "WordPad"])
        time.sleep(0.5)
        left, top, right, bottom = dialog["rect"]
        prect = popup["rect"]
        shot("example-menu", {"rect": [min(left, prect[0]), min(top, prect[1]),
                                       max(right, prect[2]), max(bottom, prect[3])]})
        tvn.key("Down", "Return")
        started = self.wait_program_window(("notepad.exe", "write.exe", "wordpad.exe"))
        self.assertEqual(started, "notepad.exe", "picking the top entry of the row's menu did not start Notepad")
        tvn.kill_image("notepad.exe")
        self.close_dialog(run, dialog)


if __name__ == "__main__":
    tvn.main()
