"""The dialogs as the user's guide and the README show them, each state
checked before it is photographed.

Every picture is saved, cut to the windows it shows, into
build/screenshots/docs/; with TVN_DOCS_SCREENSHOTS=1 it is also copied into
docs/screenshots/, where the documents take it from
(scripts/docs_screenshots.sh). English pictures come from TVN-en.exe (the
user's guide), Russian ones from TVN.exe (the README).
"""

import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tvn  # noqa: E402

ids = tvn.ids

SOURCE = tvn.source_dir()

ENGLISH = {"logon": "TVN3: Authorization", "commands": "TVN3: Commands", "help": "TVN3: Help"}
RUSSIAN = {"logon": "TVN3: Авторизация", "commands": "TVN3: Команды", "help": "TVN3: Помощь"}
# Log-on controls that "Use the current credentials" greys out, and the password box.
CREDENTIAL_CONTROLS = (
    ids.IDC_LOGON_DOMAIN_ICON, ids.IDC_LOGON_DOMAIN_LABEL, ids.IDC_LOGON_DOMAIN,
    ids.IDC_LOGON_USER_ICON, ids.IDC_LOGON_USER_LABEL, ids.IDC_LOGON_USER,
    ids.IDC_LOGON_PASSWORD_ICON, ids.IDC_LOGON_PASSWORD_LABEL, ids.IDC_LOGON_PASSWORD,
    ids.IDC_LOGON_LOAD_PROFILE,
)
PASSWORD = ids.IDC_LOGON_PASSWORD
CURRENT_CREDENTIALS = ids.IDC_LOGON_CURRENT_CREDENTIALS


def save(name, *windows):
    """Cuts the screen to the windows given (inspector dicts) and keeps the picture."""
    full = tvn.screenshot("guide-" + name)
    left = min(w["rect"][0] for w in windows)
    top = min(w["rect"][1] for w in windows)
    right = max(w["rect"][2] for w in windows)
    bottom = max(w["rect"][3] for w in windows)
    folder = os.path.join(tvn.screenshot_dir(), "docs")
    os.makedirs(folder, exist_ok=True)
    target = os.path.join(folder, name + ".png")
    subprocess.run(["convert", full, "-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top),
                    "+repage", "-strip", target], check=True, timeout=60)
    colours = subprocess.run(["convert", target, "-format", "%k", "info:"], capture_output=True, text=True,
                             check=True, timeout=60).stdout.strip()
    if int(colours) < 8:
        raise AssertionError("the picture %s shows nothing (%s colours)" % (target, colours))
    if os.environ.get("TVN_DOCS_SCREENSHOTS") == "1":
        shutil.copyfile(target, os.path.join(SOURCE, "docs", "screenshots", name + ".png"))
    return target


class UserGuidePicturesTest(tvn.TvnTestCase):
    def setUp(self):
        super().setUp()
        self.runs = []

    def tearDown(self):
        tvn.kill_image("TVN-en.exe")
        for run in self.runs:
            if run.proc.poll() is None:
                run.proc.kill()
            run.proc.wait(timeout=30)
            run.proc.stdout.close()
        super().tearDown()

    def open_dialog(self, program, tail, caption):
        run = tvn.Spawn(tail, program=tvn.exe(program))
        self.runs.append(run)
        dialog = tvn.wait_window(title=caption, pid=run.pid, timeout=60)
        self.assertIsNotNone(dialog, "%s%s did not open %r" % (program, tail, caption))
        self.assertEqual(dialog["title"], caption)
        time.sleep(0.5)  # the icons and colours are drawn
        return run, tvn.refresh(dialog)

    def close(self, run, dialog):
        tvn.inspect("--hwnd", dialog["hwnd"], "--close")
        self.assertEqual(run.exit_code(), 0)

    def right_click_row(self, dialog, row):
        """Opens the menu of row `row` (its index in the description) with a right click."""
        item = next(i for i in tvn.control(dialog, ids.IDC_COMMAND_LIST)["items"] if i["param"] == row)
        menus = tvn.right_click_list_item(dialog, ids.IDC_COMMAND_LIST, item["index"])
        self.assertEqual(len(menus), 1, "the row's menu did not open")
        time.sleep(0.5)
        return menus[0]

    def close_menus(self):
        tvn.key("Escape")
        tvn.wait_until(lambda: not tvn.open_menus(), 10)
        self.assertEqual(tvn.open_menus(), [])

    def longest_menu_row(self, values):
        rows = [n for n in range(int(values["1.2#20"])) if values.get("1.2.%d#5" % n) == "1"]
        return max(rows, key=lambda n: int(values.get("1.3.%s#20" % values["1.2.%d#6" % n], "0")))

    def test_logon_dialog_with_the_current_credentials(self):
        run, dialog = self.open_dialog("TVN-en.exe", "", ENGLISH["logon"])
        for control_id in CREDENTIAL_CONTROLS:
            expected = control_id != ids.IDC_LOGON_LOAD_PROFILE  # "Load the profile" is greyed out by the standard description
            self.assertEqual(tvn.control(dialog, control_id)["enabled"], expected, control_id)
        self.assertTrue(tvn.control(dialog, ids.IDC_LOGON_DOMAIN)["focus_within"], "the cursor starts in Domain name")

        tvn.inspect("--hwnd", dialog["hwnd"], "--set-text", PASSWORD, "not a real password")
        tvn.inspect("--hwnd", dialog["hwnd"], "--click", CURRENT_CREDENTIALS)
        tvn.wait_until(lambda: tvn.control(tvn.refresh(dialog), CURRENT_CREDENTIALS)["checked"] == 1, 10)
        dialog = tvn.refresh(dialog)
        self.assertEqual(tvn.control(dialog, CURRENT_CREDENTIALS)["checked"], 1)
        for control_id in CREDENTIAL_CONTROLS:
            self.assertFalse(tvn.control(dialog, control_id)["enabled"], control_id)
        self.assertEqual(tvn.control(dialog, PASSWORD)["text"], "", "the password box is emptied")
        self.assertTrue(tvn.control(dialog, ids.IDC_LOGON_LOGON)["enabled"])
        save("logon-current", dialog)
        self.close(run, dialog)

    def test_command_dialog_menu_and_command_line(self):
        run, dialog = self.open_dialog("TVN-en.exe", " c+", ENGLISH["commands"])
        values = run.description()
        row = self.longest_menu_row(values)
        self.assertEqual(values["1.2.%d#3" % row], "Computer management")
        self.assertEqual(values["1.2.%d#2" % row], "32768", "a row with a menu is green")
        popup = self.right_click_row(dialog, row)
        save("commands-menu", dialog, popup)
        self.close_menus()

        # A typed command, to be started hidden: Execute is ready for it.
        tvn.inspect("--hwnd", dialog["hwnd"], "--set-check", ids.IDC_COMMAND_START_HIDDEN, 1)
        self.assertTrue(tvn.inspect("--hwnd", dialog["hwnd"], "--focus", ids.IDC_COMMAND_LINE).get("ok"))
        tvn.inspect("--hwnd", dialog["hwnd"], "--set-text", ids.IDC_COMMAND_LINE, 'notepad.exe "C:\\windows\\win.ini"')
        dialog = tvn.refresh(dialog)
        self.assertEqual(tvn.control(dialog, ids.IDC_COMMAND_START_HIDDEN)["checked"], 1)
        self.assertTrue(tvn.control(dialog, ids.IDC_COMMAND_LINE)["focus"])
        self.assertTrue(tvn.control(dialog, ids.IDC_COMMAND_EXECUTE)["enabled"], "a typed command enables Execute")
        save("commands-line", dialog)
        self.close(run, dialog)

    def test_russian_dialogs_for_the_readme(self):
        run, dialog = self.open_dialog("TVN.exe", "", RUSSIAN["logon"])
        self.assertEqual(tvn.control(dialog, ids.IDC_LOGON_LOGON)["text"], "Войти")
        save("ru-logon", dialog)
        tvn.inspect("--hwnd", dialog["hwnd"], "--click", ids.IDC_LOGON_HELP)
        help_window = tvn.wait_window(title=RUSSIAN["help"], pid=run.pid, timeout=30)
        self.assertIsNotNone(help_window, "the help dialog did not open")
        help_window = tvn.refresh(help_window)
        self.assertTrue(tvn.control(help_window, ids.IDC_HELP_ABOUT)["text"].startswith("Tolvane 3.1 (build 15)"))
        self.assertEqual(tvn.control(help_window, ids.IDC_HELP_DIAGNOSTICS)["text"], "Диагностика")
        save("ru-help", help_window)
        tvn.inspect("--hwnd", help_window["hwnd"], "--click", ids.IDC_HELP_CLOSE)
        self.close(run, dialog)

        run, dialog = self.open_dialog("TVN.exe", " c+", RUSSIAN["commands"])
        listview = tvn.control(dialog, ids.IDC_COMMAND_LIST)
        self.assertEqual(listview["count"], 16)
        save("ru-commands", dialog)
        values = run.description()
        popup = self.right_click_row(dialog, self.longest_menu_row(values))
        save("ru-commands-menu", dialog, popup)
        self.close_menus()
        self.close(run, dialog)


if __name__ == "__main__":
    tvn.main()
