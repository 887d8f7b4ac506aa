"""The log-on dialog of TVN.exe from the default description, its help
dialog, and Log on under the current account starting the command-mode copy."""

import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tvn  # noqa: E402

ids = tvn.ids

LOGON_CAPTION = "TVN3: Авторизация"
HELP_CAPTION = "TVN3: Помощь"
COMMAND_CAPTION = "TVN3: Команды"
CREDENTIAL_IDS = (ids.IDC_LOGON_DOMAIN_ICON, ids.IDC_LOGON_DOMAIN_LABEL, ids.IDC_LOGON_DOMAIN,
                  ids.IDC_LOGON_USER_ICON, ids.IDC_LOGON_USER_LABEL, ids.IDC_LOGON_USER,
                  ids.IDC_LOGON_PASSWORD_ICON, ids.IDC_LOGON_PASSWORD_LABEL, ids.IDC_LOGON_PASSWORD,
                  ids.IDC_LOGON_LOAD_PROFILE)


def start_tvn(tail=""):
    """TVN.exe started through tvn_spawn with an exact tail; returns (Popen, pid)."""
    proc = tvn.wine_start([tvn.exe("tvn_spawn.exe"), tvn.winpath(tvn.exe("TVN.exe")), tail],
                             stdout=subprocess.PIPE)
    line = proc.stdout.readline().decode("ascii", "replace").strip()
    if not line.isdigit():
        raise AssertionError("tvn_spawn printed no process id: %r" % line)
    return proc, int(line)


class LogonDialogTest(tvn.TvnTestCase):
    def open_logon(self):
        proc, pid = start_tvn("")
        self.procs.append(proc)
        dialog = tvn.wait_window(title=LOGON_CAPTION, pid=pid, timeout=60)
        self.assertIsNotNone(dialog, "the log-on dialog did not open")
        return proc, pid, tvn.refresh(dialog)

    def setUp(self):
        super().setUp()
        self.procs = []

    def tearDown(self):
        super().tearDown()  # ends every TVN.exe of the prefix
        for proc in self.procs:
            try:
                proc.wait(timeout=30)
            finally:
                proc.stdout.close()

    def test_opens_from_the_default_description(self):
        proc, pid, dialog = self.open_logon()
        self.assertEqual(dialog["title"], LOGON_CAPTION)
        self.assertTrue(dialog["icon_small"])
        self.assertFalse(tvn.control(dialog, ids.IDC_LOGON_IGNORE_UAC)["visible"])
        self.assertFalse(tvn.control(dialog, ids.IDC_LOGON_LOAD_PROFILE)["enabled"])
        self.assertEqual(tvn.control(dialog, ids.IDC_LOGON_LOAD_PROFILE)["checked"], 0)
        self.assertEqual(tvn.control(dialog, ids.IDC_LOGON_CURRENT_CREDENTIALS)["checked"], 0)
        self.assertTrue(tvn.control(dialog, ids.IDC_LOGON_DOMAIN)["focus_within"],
                        "the focus starts in the domain box")
        self.assertTrue(tvn.control(dialog, ids.IDC_LOGON_PASSWORD)["password"])
        # The system icon shows icon 221 of shell32.dll, which Wine's shell32 does not have.
        for control_id in (ids.IDC_LOGON_DOMAIN_ICON, ids.IDC_LOGON_USER_ICON, ids.IDC_LOGON_PASSWORD_ICON):
            self.assertTrue(tvn.control(dialog, control_id)["icon"], control_id)
        tvn.screenshot("logon-dialog")

        # The help dialog over it, closed again with Close: the log-on dialog stays.
        tvn.inspect("--hwnd", dialog["hwnd"], "--click", ids.IDC_LOGON_HELP)
        help_window = tvn.wait_window(title=HELP_CAPTION, pid=pid, timeout=30)
        self.assertIsNotNone(help_window, "the help dialog did not open")
        self.assertEqual(help_window["owner"], dialog["hwnd"])
        self.assertTrue(tvn.control(help_window, ids.IDC_HELP_CLOSE)["focus"], "the focus starts on Close")
        self.assertTrue(tvn.control(help_window, ids.IDC_HELP_ABOUT)["text"].startswith("Tolvane 3.1 (build 15)"))
        tvn.screenshot("help-dialog")
        tvn.inspect("--hwnd", help_window["hwnd"], "--click", ids.IDC_HELP_CLOSE)
        tvn.wait_until(lambda: not tvn.inspect("--title", HELP_CAPTION, "--pid", pid)["windows"], 15)
        self.assertEqual(tvn.inspect("--title", HELP_CAPTION, "--pid", pid)["windows"], [])
        self.assertTrue(tvn.refresh(dialog)["enabled"])

        tvn.inspect("--hwnd", dialog["hwnd"], "--close")
        self.assertEqual(tvn.wait_exit(proc, timeout=60), 0)
        self.assertEqual(tvn.inspect("--title", COMMAND_CAPTION)["windows"], [], "Close starts nothing")

    def test_logon_with_current_credentials_starts_the_command_copy(self):
        proc, pid, dialog = self.open_logon()
        tvn.inspect("--hwnd", dialog["hwnd"], "--click", ids.IDC_LOGON_CURRENT_CREDENTIALS)
        self.assertTrue(tvn.wait_until(lambda: not tvn.refresh(dialog) or tvn.control(
            tvn.refresh(dialog), ids.IDC_LOGON_CURRENT_CREDENTIALS)["checked"] == 1, 10),
                        "\"use the current credentials\" was not ticked")
        ticked = tvn.refresh(dialog)
        for control_id in CREDENTIAL_IDS:
            self.assertFalse(tvn.control(ticked, control_id)["enabled"], control_id)
        tvn.screenshot("logon-dialog-current-credentials")

        tvn.inspect("--hwnd", dialog["hwnd"], "--click", ids.IDC_LOGON_LOGON)
        # The first process closes its dialog and ends; a second TVN.exe,
        # started with " c", opens the command dialog.
        self.assertEqual(tvn.wait_exit(proc, timeout=60), 0)
        command = tvn.wait_window(title=COMMAND_CAPTION, timeout=90)
        self.assertIsNotNone(command, "the command-mode copy did not open its dialog")
        self.assertNotEqual(command["pid"], pid)
        self.assertEqual(command["exe"].lower(), "tvn.exe")
        tvn.screenshot("logon-started-command-copy")
        tvn.inspect("--hwnd", command["hwnd"], "--close")


if __name__ == "__main__":
    tvn.main()
