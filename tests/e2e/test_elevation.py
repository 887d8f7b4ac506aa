"""Full rights for the command-mode copy under Wine 10's split token.

Wine 10 gives every process the limited half of an administrator's token
(elevation type 3) and starts "runas" with the full half (type 2), as
Windows does for an administrator under UAC: `TVN.exe c` hands over to one
elevated copy of itself, marked with "+", and ends before it writes
anything. The inspector reports each window's process token ("elevation"),
and tvn_record.exe its own.
"""

import json
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tvnlib  # noqa: E402
from tvn.processes import prefix_processes  # noqa: E402

ids = tvnlib.ids

COMMAND_CAPTION = "TVN3: Команды"
LOGON_CAPTION = "TVN3: Авторизация"
FULL, LIMITED = 2, 3


def trace():
    """The start-up trace as (microseconds, pid, phase) tuples."""
    path = os.path.join(tvnlib.temp_dir_unix(), "TVN_trace.log")
    if not os.path.exists(path):
        return []
    with open(path, "rb") as f:
        return [(int(t), int(p), phase) for t, p, phase in
                (raw.decode("ascii").split(" ") for raw in f.read().split(b"\r\n") if raw)]


class ElevationTest(tvnlib.TvnTestCase):
    def setUp(self):
        super().setUp()
        for name in ("TVN_trace.log", "tvn_record.log"):
            path = os.path.join(tvnlib.temp_dir_unix(), name)
            if os.path.exists(path):
                os.remove(path)

    def close(self, dialog):
        tvnlib.inspect("--hwnd", dialog["hwnd"], "--close")

    def test_command_copy_hands_over_to_one_elevated_copy(self):
        run = tvnlib.Spawn(" c", spawn_options=("--env", "TVN_TRACE=1"))
        self.assertEqual(run.exit_code(timeout=60), 0)
        dialog = tvnlib.wait_window(title=COMMAND_CAPTION, timeout=60)
        self.assertIsNotNone(dialog, "the elevated copy did not open the command dialog")
        self.assertNotEqual(dialog["pid"], run.pid)
        self.assertEqual(dialog["elevation"], FULL)
        self.assertEqual(len(prefix_processes("TVN.exe")), 1, "exactly one copy is left: the elevated one")
        # The first copy ran no script and wrote no key: its trace goes from
        # the entry straight to the end.
        first = [phase for _, pid, phase in trace() if pid == run.pid]
        self.assertIn("controls-initialised", first)
        self.assertEqual(first[-1], "exit")
        self.assertFalse({"script-extracted", "describe-run-started", "dialog-created"} & set(first), first)
        self.assertFalse(tvnlib.key_exists(r"HKCU\Software\TVN\%d" % run.pid))
        self.assertTrue(tvnlib.key_exists(r"HKCU\Software\TVN\%d" % dialog["pid"]))

        # A command typed into the command line runs with the full token.
        recorder = tvnlib.winpath(tvnlib.exe("tvn_record.exe"))
        tvnlib.inspect("--hwnd", dialog["hwnd"], "--set-text", ids.IDC_COMMAND_LINE, '"%s" typed' % recorder)
        tvnlib.inspect("--hwnd", dialog["hwnd"], "--click", ids.IDC_COMMAND_EXECUTE)
        record = os.path.join(tvnlib.temp_dir_unix(), "tvn_record.log")
        deadline = time.monotonic() + 30
        while not os.path.exists(record) and time.monotonic() < deadline:
            time.sleep(0.3)
        with open(record, encoding="utf-8") as f:
            lines = [json.loads(line) for line in f if line.strip()]
        self.assertEqual([line["argv"] for line in lines], [["typed"]])
        self.assertEqual(lines[0]["elevation"], FULL, lines[0])
        self.close(dialog)

    def test_the_marker_the_logon_mode_and_refresh_ask_nothing(self):
        # The marked tail never asks, whatever token the copy holds.
        run = tvnlib.Spawn(" c+")
        dialog = tvnlib.wait_window(title=COMMAND_CAPTION, pid=run.pid, timeout=60)
        self.assertIsNotNone(dialog, "the marked copy did not open its own dialog")
        self.assertEqual(dialog["elevation"], LIMITED)
        # Refresh from it starts one more marked copy, which keeps its dialog.
        tvnlib.inspect("--hwnd", dialog["hwnd"], "--click", ids.IDC_COMMAND_REFRESH)
        self.assertEqual(run.exit_code(), 0)
        fresh = tvnlib.wait_window(title=COMMAND_CAPTION, timeout=60)
        self.assertIsNotNone(fresh, "Refresh opened no command dialog")
        self.assertEqual(fresh["elevation"], LIMITED, "Refresh asked for full rights again")
        self.close(fresh)
        # The log-on mode keeps the limited token.
        logon_run = tvnlib.Spawn("")
        logon = tvnlib.wait_window(title=LOGON_CAPTION, pid=logon_run.pid, timeout=60)
        self.assertIsNotNone(logon, "the log-on dialog did not open in its own process")
        self.assertEqual(logon["elevation"], LIMITED)
        self.close(logon)
        self.assertEqual(logon_run.exit_code(), 0)

    def test_logon_with_current_credentials_is_not_held_by_the_hand_over(self):
        logon_run = tvnlib.Spawn("", spawn_options=("--env", "TVN_TRACE=1"))
        logon = tvnlib.wait_window(title=LOGON_CAPTION, pid=logon_run.pid, timeout=60)
        self.assertIsNotNone(logon)
        tvnlib.inspect("--hwnd", logon["hwnd"], "--click", ids.IDC_LOGON_CURRENT_CREDENTIALS)
        time.sleep(0.5)
        tvnlib.inspect("--hwnd", logon["hwnd"], "--click", ids.IDC_LOGON_LOGON)
        self.assertEqual(logon_run.exit_code(timeout=60), 0)
        dialog = tvnlib.wait_window(title=COMMAND_CAPTION, timeout=60)
        self.assertIsNotNone(dialog)
        self.assertEqual(dialog["elevation"], FULL)
        # The log-on copy's successor is the copy that hands over: its end,
        # not the time limit (10 s), ends the log-on copy's wait.
        lines = trace()
        own = {phase: t for t, pid, phase in lines if pid == logon_run.pid}
        middle = [pid for _, pid, _ in lines if pid not in (logon_run.pid, dialog["pid"])]
        self.assertEqual(len(set(middle)), 1, lines)
        middle_end = max(t for t, pid, phase in lines if pid == middle[0] and phase == "exit")
        self.assertGreaterEqual(own["successor-awaited"], middle_end)
        self.assertLess(own["successor-awaited"] - own["dialog-ended"], 8_000_000)
        self.close(dialog)

    def test_a_failed_elevated_start_warns_over_the_dialog(self):
        # A copy whose file is gone by the time it asks: the shell cannot
        # start it (2), so the copy goes on with the limited token.
        folder = os.path.join(tvnlib.temp_dir_unix(), "tvn_elevation_gone")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        copy = os.path.join(folder, "TVN.exe")
        shutil.copyfile(tvnlib.exe("TVN.exe"), copy)
        run = tvnlib.Spawn(" c", program=copy, suspended=True)
        os.remove(copy)
        run.resume()
        dialog = tvnlib.wait_window(title=COMMAND_CAPTION, pid=run.pid, timeout=60)
        self.assertIsNotNone(dialog, "the copy did not go on to its own dialog")
        self.assertEqual(dialog["elevation"], LIMITED)
        box = tvnlib.wait_box(pid=run.pid)
        self.assertIsNotNone(box, "no warning over the dialog")
        self.assertEqual(box["owner"], dialog["hwnd"])
        self.assertTrue(tvnlib.box_text(box).startswith("Error (2): "), tvnlib.box_text(box))
        tvnlib.inspect("--hwnd", box["hwnd"], "--close")
        deadline = time.monotonic() + 10
        while tvnlib.wait_box(pid=run.pid, timeout=0) and time.monotonic() < deadline:
            time.sleep(0.3)
        self.assertIsNone(tvnlib.wait_box(pid=run.pid, timeout=0), "the warning did not close")
        self.close(dialog)
        self.assertEqual(run.exit_code(), 0)
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    tvnlib.main()
