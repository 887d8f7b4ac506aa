"""TVN.exe on Windows 2000, XP and Server 2003, as far as Wine can pretend to be them.

Wine's version setting (HKCU\\Software\\Wine, Version) changes what
GetVersionExW reports, which the start-up checks read; the description script
cannot ask the management service under Wine and reads the version from
HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion instead, so each case
writes the values that system has there too. The log-on and command dialogs
are then read with the inspector. (Windows NT 4.0 and Windows 98 end in the
fatal messages 2 and 1: test_entry.py.)

Other tests share the prefix: every value changed here is put back, also when
a test fails, and a run that was killed half-way is repaired by the next one
from the saved values (<build>/windows-version-backup.json).
"""

import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tvn  # noqa: E402

ids = tvn.ids

LOGON_CAPTION = "TVN3: Авторизация"
COMMAND_CAPTION = "TVN3: Команды"
ACCOUNTS_ROW = "Учетные записи пользователей"
PANEL_ROW = "Панель управления"

WINE_KEY = r"HKCU\Software\Wine"
VERSION_KEY = r"HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion"
# 64-bit Windows keeps these values in both registry views, and a 32-bit
# TVN.exe reads the 32-bit one: both are written alike.
VERSION_KEYS = (VERSION_KEY, r"HKLM\SOFTWARE\Wow6432Node\Microsoft\Windows NT\CurrentVersion")
# The values the description script reads, with their registry types.
VERSION_VALUES = (("CurrentMajorVersionNumber", "REG_DWORD"), ("CurrentMinorVersionNumber", "REG_DWORD"),
                  ("CurrentVersion", "REG_SZ"), ("CurrentBuildNumber", "REG_SZ"), ("ProductName", "REG_SZ"))

# Wine's name, then what the system writes under CurrentVersion, then what
# the description makes of it: rows, the system icon beside the OS text
# ("0.0#0", "1.0#0"), the user-name icon ("0.5#0"). Wine's shell32 has icon
# 23 of Windows 2000 but not 221 and 222, so only that one can be seen.
SYSTEMS = {
    "win2k": {"version": "5.0", "build": "2195", "product": "Microsoft Windows 2000", "ver": "5.0.2195",
              "rows": 15, "system_icon": "shell32.dll#23", "user_icon": "shell32.dll#15", "icon_shown": True},
    "winxp": {"version": "5.1", "build": "2600", "product": "Microsoft Windows XP", "ver": "5.1.2600",
              "rows": 16, "system_icon": "shell32.dll#221", "user_icon": "shell32.dll#160", "icon_shown": False},
    "win2003": {"version": "5.2", "build": "3790", "product": "Microsoft Windows Server 2003", "ver": "5.2.3790",
                "rows": 16, "system_icon": "shell32.dll#222", "user_icon": "shell32.dll#160", "icon_shown": False},
}


def backup_path():
    return os.path.join(tvn.build_dir(), "windows-version-backup.json")


def read_values():
    """The Wine version setting and the script's version values as they are now ({name: [type, value] or None})."""
    saved = {"wine": tvn.reg_value(WINE_KEY, "Version")}
    current = tvn.reg_query_key(VERSION_KEY) or {}
    for name, kind in VERSION_VALUES:
        saved[name] = [kind, current[name]] if name in current else None
    return saved


def write_values(saved):
    """Puts back what read_values() returned: each value as it was, or removed when it was missing."""
    if saved["wine"] is None:
        tvn.reset_windows_version()
    else:
        tvn.set_windows_version(saved["wine"])
    for key in VERSION_KEYS:
        for name, _ in VERSION_VALUES:
            if saved.get(name) is None:
                tvn.reg_delete(key, name)
            else:
                kind, value = saved[name]
                tvn.reg_add(key, name, value, kind)


def restore_from_backup():
    """Repairs the prefix after a run that ended before its clean-up; True when there was something to repair."""
    path = backup_path()
    if not os.path.isfile(path):
        return False
    with open(path, encoding="utf-8") as f:
        write_values(json.load(f))
    os.unlink(path)
    return True


class WindowsVersionTest(tvn.TvnTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        restore_from_backup()

    def pretend(self, wine_name):
        """Makes the prefix look like the given system until the test ends."""
        system = SYSTEMS[wine_name]
        saved = read_values()
        with open(backup_path(), "w", encoding="utf-8") as f:
            json.dump(saved, f)
        self.addCleanup(restore_from_backup)
        tvn.set_windows_version(wine_name)
        # Windows 10 and later keep the numbers as well, which the script
        # prefers; the older systems do not have them.
        for key in VERSION_KEYS:
            tvn.reg_delete(key, "CurrentMajorVersionNumber")
            tvn.reg_delete(key, "CurrentMinorVersionNumber")
            tvn.reg_add(key, "CurrentVersion", system["version"])
            tvn.reg_add(key, "CurrentBuildNumber", system["build"])
            tvn.reg_add(key, "ProductName", system["product"])
        # What GetVersionExW now reports, as cmd's ver prints it.
        ver = tvn.decode_console(tvn.wine(["cmd", "/c", "ver"], timeout=60).stdout)
        self.assertIn(system["ver"], ver, "Wine does not report %s for %s" % (system["ver"], wine_name))
        return system

    def open_dialog(self, tail, caption):
        run = tvn.Spawn(tail)
        self.addCleanup(run.proc.stdout.close)
        dialog = tvn.wait_window(title=caption, pid=run.pid, timeout=60)
        if dialog is None:
            box = tvn.wait_box(pid=run.pid, timeout=1)
            self.fail("%r did not open%s" % (caption, ": " + tvn.box_text(box) if box else ""))
        return run, dialog, run.description()

    def close_dialog(self, run, dialog):
        tvn.inspect("--hwnd", dialog["hwnd"], "--close")
        self.assertEqual(run.exit_code(), 0)
        self.assertFalse(tvn.key_exists(r"HKCU\Software\TVN\%d" % run.pid), "the description key stayed")

    def check_system(self, wine_name):
        system = self.pretend(wine_name)
        user = tvn.wine_user()
        os_text = "ОС: %s\r\nПользователь: %s" % (system["product"], user)

        # Log-on dialog: the system icon and text, and the user-name icon.
        run, dialog, values = self.open_dialog("", LOGON_CAPTION)
        self.assertEqual(values["0.0#0"], system["system_icon"])
        self.assertEqual(values["0.5#0"], system["user_icon"])
        self.assertEqual(values["0.1#3"], os_text)
        self.assertEqual(tvn.control(dialog, ids.IDC_LOGON_INFO)["text"], os_text)
        # Domain, user name (icon 15 or 160), password.
        for control_id in (ids.IDC_LOGON_DOMAIN_ICON, ids.IDC_LOGON_USER_ICON, ids.IDC_LOGON_PASSWORD_ICON):
            self.assertTrue(tvn.control(dialog, control_id)["icon"], control_id)
        if system["icon_shown"]:
            self.assertTrue(tvn.control(dialog, ids.IDC_LOGON_ICON)["icon"], "no system icon")
        tvn.screenshot("version-%s-logon" % wine_name)
        self.close_dialog(run, dialog)

        # Command dialog: its rows, the same system icon and text.
        run, dialog, values = self.open_dialog(" c+", COMMAND_CAPTION)
        rows = system["rows"]
        self.assertEqual(values["1.0#0"], system["system_icon"])
        self.assertEqual(values["1.1#3"], os_text)
        self.assertEqual(values["1.2#20"], str(rows))
        self.assertEqual(values["1.3#20"], "8")
        titles = [values["1.2.%d#3" % n] for n in range(rows)]
        self.assertNotIn("1.2.%d#3" % rows, values)
        self.assertEqual(ACCOUNTS_ROW in titles, rows == 16)
        # Only a major version 6 gets the control panel's own icon.
        self.assertEqual(values["1.2.%d#0" % titles.index(PANEL_ROW)], "shell32.dll#57")

        self.assertEqual(tvn.control(dialog, ids.IDC_COMMAND_INFO)["text"], os_text)
        if system["icon_shown"]:
            self.assertTrue(tvn.control(dialog, ids.IDC_COMMAND_ICON)["icon"], "no system icon")
        listview = tvn.control(dialog, ids.IDC_COMMAND_LIST)
        self.assertEqual(listview["count"], rows)
        self.assertEqual(sorted(item["text"] for item in listview["items"]), sorted(titles))
        self.assertEqual(sorted(item["param"] for item in listview["items"]), list(range(rows)))
        tvn.screenshot("version-%s-commands" % wine_name)
        self.close_dialog(run, dialog)

    def test_windows_2000(self):
        self.check_system("win2k")

    def test_windows_xp(self):
        self.check_system("winxp")

    def test_windows_server_2003(self):
        self.check_system("win2003")

    def test_a_killed_run_is_repaired_from_the_saved_values(self):
        before = read_values()
        self.pretend("win2k")
        # As if the run had died here: the next one finds the backup.
        self.assertTrue(os.path.isfile(backup_path()))
        self.assertEqual(tvn.reg_value(VERSION_KEY, "CurrentVersion"), "5.0")
        self.assertTrue(restore_from_backup())
        self.assertEqual(read_values(), before)
        self.assertFalse(restore_from_backup())


if __name__ == "__main__":
    tvn.main()
