"""The command dialog of TVN.exe with the default description: rows, focus and a row's static menu."""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tvn  # noqa: E402

ids = tvn.ids

COMMAND_CAPTION = "TVN3: Команды"


class CommandDialogTest(tvn.TvnTestCase):
    def open_dialog(self):
        run = tvn.Spawn(" c+")
        dialog = tvn.wait_window(title=COMMAND_CAPTION, pid=run.pid, timeout=60)
        self.assertIsNotNone(dialog, "the command dialog did not open")
        values = tvn.reg_query_key(r"HKCU\Software\TVN\%d" % run.pid)
        self.assertIsNotNone(values, "no description while the dialog is open")
        return run, dialog, values

    def close(self, run, dialog):
        tvn.inspect("--hwnd", dialog["hwnd"], "--close")
        self.assertEqual(run.exit_code(), 0)

    def test_rows_focus_and_execute_at_start(self):
        run, dialog, values = self.open_dialog()
        listview = tvn.control(dialog, ids.IDC_COMMAND_LIST)
        self.assertEqual(listview["count"], 16)
        self.assertTrue(listview["has_image_list"])
        items = listview["items"]
        # Every row once, each item carrying its row's index.
        self.assertEqual(sorted(item["param"] for item in items), list(range(16)))
        for item in items:
            self.assertEqual(item["text"], values.get("1.2.%d#3" % item["param"]))
        # The command line has the focus; the description enables Execute
        # after that (with nothing ready, pressing it runs nothing).
        self.assertTrue(tvn.control(dialog, ids.IDC_COMMAND_LINE)["focus"])
        self.assertTrue(tvn.control(dialog, ids.IDC_COMMAND_EXECUTE)["enabled"])
        self.assertFalse(tvn.control(dialog, ids.IDC_COMMAND_SUPPORT_FILTERS)["visible"])
        tvn.screenshot("command-dialog")

        # Typing a command enables Execute; a leading blank keeps it disabled.
        tvn.inspect("--hwnd", dialog["hwnd"], "--set-text", ids.IDC_COMMAND_LINE, " notepad.exe")
        state = tvn.inspect("--hwnd", dialog["hwnd"])["windows"][0]
        self.assertFalse(tvn.control(state, ids.IDC_COMMAND_EXECUTE)["enabled"])
        tvn.inspect("--hwnd", dialog["hwnd"], "--set-text", ids.IDC_COMMAND_LINE, "notepad.exe")
        state = tvn.inspect("--hwnd", dialog["hwnd"])["windows"][0]
        self.assertTrue(tvn.control(state, ids.IDC_COMMAND_EXECUTE)["enabled"])
        self.close(run, dialog)

    def test_right_click_opens_the_static_menu_once(self):
        run, dialog, values = self.open_dialog()
        rows = [n for n in range(16) if values.get("1.2.%d#5" % n) == "1"]
        self.assertTrue(rows, "the default description has rows with a static menu")
        def entries_of(n):
            menu = int(values.get("1.2.%d#6" % n))
            count = int(values.get("1.3.%d#20" % menu, "0"))
            return [values.get("1.3.%d.%d#3" % (menu, k), "") for k in range(count)]
        row = max(rows, key=lambda n: len(entries_of(n)))  # the longest menu makes the best picture
        entries = entries_of(row)
        items = tvn.control(dialog, ids.IDC_COMMAND_LIST)["items"]
        index = next(item["index"] for item in items if item["param"] == row)

        menus = tvn.right_click_list_item(dialog, ids.IDC_COMMAND_LIST, index)
        self.assertEqual(len(menus), 1, "one popup, not a second one from WM_CONTEXTMENU")
        time.sleep(0.5)
        self.assertEqual(len(tvn.open_menus()), 1)
        popup = menus[0]["menu"]
        # Wine 8 does not let another process read a popup's items; when it
        # does: the last entry on top, empty titles as separators.
        if popup["readable"]:
            shown = popup["items"]
            self.assertEqual(len(shown), len(entries))
            for item, title in zip(shown, reversed(entries)):
                if title:
                    self.assertEqual(item["text"], title)
                else:
                    self.assertTrue(item["separator"])
            self.assertEqual([item["id"] for item in shown if not item["separator"]],
                             [n + 1 for n in reversed(range(len(entries))) if entries[n]])
        tvn.screenshot("command-static-menu")

        tvn.key("Escape")
        tvn.wait_until(lambda: not tvn.open_menus(), 10)
        self.assertEqual(tvn.open_menus(), [])
        # Nothing was picked: no report, the dialog stays.
        self.assertEqual([w for w in tvn.inspect("--pid", run.pid, "--class", "#32770")["windows"]
                          if w["title"] == "Tolvane"], [])
        self.close(run, dialog)

    def test_refresh_and_authorization_restart_the_tool(self):
        # Refresh: a new copy shows a fresh command dialog; this one ends and
        # its description key goes with it.
        run, dialog, _ = self.open_dialog()
        tvn.inspect("--hwnd", dialog["hwnd"], "--click", ids.IDC_COMMAND_REFRESH)
        self.assertEqual(run.exit_code(), 0)
        self.assertFalse(tvn.key_exists(r"HKCU\Software\TVN\%d" % run.pid))
        fresh = tvn.wait_window(title=COMMAND_CAPTION, timeout=60)
        self.assertIsNotNone(fresh, "Refresh did not open a new command dialog")
        self.assertNotEqual(fresh["pid"], run.pid)
        # Authorization: that copy hands over to the log-on mode.
        tvn.inspect("--hwnd", fresh["hwnd"], "--click", ids.IDC_COMMAND_AUTHORIZATION)
        logon = tvn.wait_window(title="TVN3: Авторизация", timeout=60)
        self.assertIsNotNone(logon, "Authorization did not open the log-on dialog")
        tvn.wait_until(lambda: not tvn.inspect("--pid", fresh["pid"])["windows"], 30, 0.3)
        self.assertEqual(tvn.inspect("--pid", fresh["pid"])["windows"], [], "the command copy did not close")
        tvn.inspect("--hwnd", logon["hwnd"], "--close")

    def test_shell_folder_row_opens_the_control_panel_live(self):
        run, dialog, values = self.open_dialog()
        listview = tvn.control(dialog, ids.IDC_COMMAND_LIST)
        row = [r for r in range(16) if values.get("1.2.%d#5" % r) == "2" and values.get("1.3.%s.0#4" %
               values.get("1.2.%d#6" % r)) == "3"][0]
        item = [i for i in listview["items"] if i["param"] == row][0]
        left, top = listview["screen_rect"][:2]
        x = left + (item["rect"][0] + item["rect"][2]) // 2
        y = top + (item["rect"][1] + item["rect"][3]) // 2
        tvn.xdotool("mousemove", "--sync", x, y)
        tvn.xdotool("click", "--repeat", "2", "--delay", "80", "1")
        tvn.wait_until(tvn.open_menus, 20, 0.3)
        self.assertTrue(tvn.open_menus(), "no live menu of the Control Panel")
        tvn.screenshot("command-control-panel-menu")
        tvn.key("Escape")
        tvn.wait_until(lambda: not tvn.open_menus(), 10, 0.3)
        self.assertFalse(tvn.open_menus(), "Escape did not close the menu")
        # Nothing ran and nothing was reported: the dialog is alone.
        self.assertEqual([w["title"] for w in tvn.inspect("--pid", run.pid)["windows"]], [COMMAND_CAPTION])
        self.close(run, dialog)


if __name__ == "__main__":
    tvn.main()
