"""TVN.exe's start-up under Wine: system checks and fatal boxes, exit code 0 on every path."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tvn  # noqa: E402


class EntryTest(tvn.TvnTestCase):
    def tearDown(self):
        tvn.reset_windows_version()
        super().tearDown()

    def run_until_box(self, tail, shot=None):
        """Starts TVN.exe with the raw command-line tail, waits for its "Tolvane" box,
        presses OK and returns (box, exit code)."""
        run = tvn.Spawn(tail)
        box = tvn.wait_box(pid=run.pid, timeout=30)
        self.assertIsNotNone(box, "no message box titled Tolvane appeared")
        self.assertEqual(box["title"], "Tolvane")
        if shot:
            tvn.screenshot(shot)
        ok = tvn.control(box, 1)  # IDOK: the box's only button
        self.assertTrue(ok["visible"])
        # A fatal box has no owner and takes the foreground from the splash.
        # (Wine shows MB_TOPMOST boxes without WS_EX_TOPMOST, so only the
        # foreground can be checked here.)
        self.assertTrue(box["foreground"], "the fatal box is not in the foreground")
        tvn.inspect("--hwnd", box["hwnd"], "--click", 1)  # OK, whatever may lie above it
        return box, run.exit_code(timeout=30)

    def test_old_nt_version_gets_message_2_without_code(self):
        tvn.set_windows_version("nt40")
        box, code = self.run_until_box("", shot="fatal-os-version")
        self.assertEqual(tvn.box_text(box), "FATAL ERROR: OS version no supported!\r\nOnly: Win2k/XP/Vista\r\n")
        self.assertEqual([c["id"] for c in box["controls"] if c.get("class") == "Button"], [1])
        self.assertEqual(code, 0)

    def test_non_nt_platform_gets_message_1(self):
        tvn.set_windows_version("win98")
        box, code = self.run_until_box("")
        self.assertEqual(tvn.box_text(box), "FATAL ERROR: Platform not supported!\r\nOnly: WinNT\r\n")
        self.assertEqual(code, 0)

    def test_windows_2000_passes_the_version_checks(self):
        # 5.0 is the oldest supported system: the run gets past the checks into
        # the resource tool, whose failure is the only box shown.
        tvn.set_windows_version("win2k")
        missing = tvn.winpath(os.path.join(tvn.build_dir(), "no-such-folder", "out.bin"))
        box, code = self.run_until_box(' e "%s" "10" "750"' % missing)
        self.assertTrue(tvn.box_text(box).startswith("FATAL ERROR: Extract script!\r\nError (3): "), tvn.box_text(box))
        self.assertEqual(code, 0)

    def test_hostile_command_line_parses_and_ends_cleanly(self):
        # 10,000 characters, more than five quoted runs, one left open: the
        # first argument names a folder that does not exist, so the extract
        # mode reports message 5 with the system's text, and the run ends with 0.
        missing = tvn.winpath(os.path.join(tvn.build_dir(), "no-such-folder", "x"))
        tail = ' XYZ e "%s" ' % missing + " ".join('"arg%d"' % i for i in range(8)) + " " + "Z" * 9000 + ' "open'
        box, code = self.run_until_box(tail)
        self.assertIn("FATAL ERROR: Extract script!\r\nError (", tvn.box_text(box))
        self.assertEqual(code, 0)


if __name__ == "__main__":
    tvn.main()
