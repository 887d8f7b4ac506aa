"""Full rights for the command-mode copy under Wine 10's split token.

Every process gets the limited half of an administrator's token (elevation
type 3) and "runas" starts the full half (2), as on Windows under UAC. The
inspector reports each window's process token, tvn_record.exe its own.
"""

import json
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tvn  # noqa: E402
from tvn.processes import prefix_processes  # noqa: E402

ids = tvn.ids
COMMAND_CAPTION = "TVN3: Команды"
LOGON_CAPTION = "TVN3: Авторизация"
FULL, LIMITED = 2, 3


def temp_file(name):
    return os.path.join(tvn.temp_dir_unix(), name)


def trace():
    """The start-up trace as (microseconds, pid, phase) tuples."""
    if not os.path.exists(temp_file("TVN_trace.log")):
        return []
    with open(temp_file("TVN_trace.log"), "rb") as f:
        return [(int(t), int(p), phase) for t, p, phase in
                (raw.decode("ascii").split(" ") for raw in f.read().split(b"\r\n") if raw)]


class ElevationTest(tvn.TvnTestCase):
    def setUp(self):
        super().setUp()
        for name in ("TVN_trace.log", "tvn_record.log"):
            if os.path.exists(temp_file(name)):
                os.remove(temp_file(name))

    def test_command_copy_hands_over_to_one_elevated_copy(self):
        run = tvn.Spawn(" c", spawn_options=("--env", "TVN_TRACE=1"))
        self.assertEqual(run.exit_code(timeout=60), 0)
        dialog = tvn.wait_window(title=COMMAND_CAPTION, timeout=60)
        self.assertIsNotNone(dialog, "the elevated copy did not open the command dialog")
        self.assertNotEqual(dialog["pid"], run.pid)
        self.assertEqual(dialog["elevation"], FULL)
        self.assertEqual(len(prefix_processes("TVN.exe")), 1, "exactly one copy is left: the elevated one")
        self.assertTrue(tvn.inspect("--process-cwd", dialog["pid"])["cwd"].lower().startswith(
            "c:\\windows\\system32"))
        # The first copy ran no script and wrote no key.
        first = [phase for _, pid, phase in trace() if pid == run.pid and not phase.startswith("splash")]
        self.assertEqual(first[-2:], ["controls-initialised", "exit"], first)
        self.assertFalse(tvn.key_exists(r"HKCU\Software\TVN\%d" % run.pid))

        # A command typed into the command line runs with the full token.
        recorder = tvn.winpath(tvn.exe("tvn_record.exe"))
        tvn.inspect("--hwnd", dialog["hwnd"], "--set-text", ids.IDC_COMMAND_LINE, '"%s" typed' % recorder)
        tvn.inspect("--hwnd", dialog["hwnd"], "--click", ids.IDC_COMMAND_EXECUTE)
        deadline = time.monotonic() + 30
        while not os.path.exists(temp_file("tvn_record.log")) and time.monotonic() < deadline:
            time.sleep(0.3)
        with open(temp_file("tvn_record.log"), encoding="utf-8") as f:
            records = [json.loads(line) for line in f if line.strip()]
        self.assertEqual([(r["argv"], r["elevation"]) for r in records], [(["typed"], FULL)], records)
        tvn.inspect("--hwnd", dialog["hwnd"], "--close")

    def test_the_marked_copy_and_its_refresh_ask_nothing(self):
        run = tvn.Spawn(" c+")
        dialog = tvn.wait_window(title=COMMAND_CAPTION, pid=run.pid, timeout=60)
        self.assertIsNotNone(dialog, "the marked copy did not open its own dialog")
        self.assertEqual(dialog["elevation"], LIMITED)
        tvn.inspect("--hwnd", dialog["hwnd"], "--click", ids.IDC_COMMAND_REFRESH)
        self.assertEqual(run.exit_code(), 0)
        fresh = tvn.wait_window(title=COMMAND_CAPTION, timeout=60)
        self.assertIsNotNone(fresh, "Refresh opened no command dialog")
        self.assertEqual(fresh["elevation"], LIMITED, "Refresh asked for full rights again")
        tvn.inspect("--hwnd", fresh["hwnd"], "--close")

    def test_logon_with_current_credentials_waits_only_for_the_hand_over(self):
        run = tvn.Spawn("", spawn_options=("--env", "TVN_TRACE=1"))
        logon = tvn.wait_window(title=LOGON_CAPTION, pid=run.pid, timeout=60)
        self.assertIsNotNone(logon)
        self.assertEqual(logon["elevation"], LIMITED)
        tvn.inspect("--hwnd", logon["hwnd"], "--click", ids.IDC_LOGON_CURRENT_CREDENTIALS)
        time.sleep(0.5)
        tvn.inspect("--hwnd", logon["hwnd"], "--click", ids.IDC_LOGON_LOGON)
        self.assertEqual(run.exit_code(timeout=60), 0)
        dialog = tvn.wait_window(title=COMMAND_CAPTION, timeout=60)
        self.assertIsNotNone(dialog)
        self.assertEqual(dialog["elevation"], FULL)
        # The log-on copy's wait ends with the end of the copy that handed
        # over, not at the time limit (10 s).
        lines = trace()
        own = {phase: t for t, pid, phase in lines if pid == run.pid}
        middle = {pid for _, pid, _ in lines} - {run.pid, dialog["pid"]}
        self.assertEqual(len(middle), 1, lines)
        middle_end = max(t for t, pid, phase in lines if pid in middle and phase == "exit")
        self.assertGreaterEqual(own["successor-awaited"], middle_end)
        self.assertLess(own["successor-awaited"] - own["dialog-ended"], 8_000_000)
        tvn.inspect("--hwnd", dialog["hwnd"], "--close")

    def test_a_failed_elevated_start_warns_over_the_dialog(self):
        # The copy's file is gone when it asks: the shell cannot start it.
        folder = temp_file("tvn_elevation_gone")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        self.addCleanup(shutil.rmtree, folder, True)
        copy = os.path.join(folder, "TVN.exe")
        shutil.copyfile(tvn.exe("TVN.exe"), copy)
        run = tvn.Spawn(" c", program=copy, suspended=True)
        os.remove(copy)
        run.resume()
        dialog = tvn.wait_window(title=COMMAND_CAPTION, pid=run.pid, timeout=60)
        self.assertIsNotNone(dialog, "the copy did not go on to its own dialog")
        self.assertEqual(dialog["elevation"], LIMITED)
        box = tvn.wait_box(pid=run.pid)
        self.assertIsNotNone(box, "no warning over the dialog")
        self.assertEqual(box["owner"], dialog["hwnd"])
        self.assertTrue(tvn.box_text(box).startswith("Error (2): "), tvn.box_text(box))
        tvn.inspect("--hwnd", box["hwnd"], "--close")
        time.sleep(1)
        self.assertIsNone(tvn.wait_box(pid=run.pid, timeout=0), "the warning is shown once")
        tvn.inspect("--hwnd", dialog["hwnd"], "--close")
        self.assertEqual(run.exit_code(), 0)


if __name__ == "__main__":
    tvn.main()
