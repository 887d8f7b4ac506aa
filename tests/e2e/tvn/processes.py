"""Processes of the prefix: finding and ending them, and starting programs through tvn_spawn.exe."""

import os
import re
import signal
import subprocess
import threading
import time

from tvn.env import ensure_env, exe, run_host
from tvn.paths import winpath
from tvn.registry import reg_query_key
from tvn.waiting import wait_until
from tvn.wine import wine, wine_start


def prefix_processes(image, command_start=None):
    """Unix pids of processes of this prefix whose Windows image name is `image` (case-insensitive).

    With command_start, only those whose command line starts with it."""
    prefix = os.environ.get("WINEPREFIX")
    if not prefix:
        return []
    wanted = ("WINEPREFIX=" + prefix).encode()
    image = image.lower()
    pids = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                argv = f.read().decode("utf-8", "replace").split("\0")
            base = re.split(r"[\\/]", argv[0])[-1].lower()
            if base != image:
                continue
            if command_start is not None and not " ".join(argv).startswith(command_start):
                continue
            with open("/proc/%s/environ" % entry, "rb") as f:
                environ = f.read().split(b"\0")
        except OSError:
            continue
        if wanted in environ:
            pids.append(int(entry))
    return pids


def kill_image(image, timeout=10):
    """Ends every process of this prefix running `image` (e.g. TVN.exe); True when none is left."""
    ensure_env()
    if not prefix_processes(image):
        return True
    wine(["taskkill", "/f", "/im", image], timeout=30)
    if wait_until(lambda: not prefix_processes(image), timeout, 0.1):
        return True
    for pid in prefix_processes(image):
        try:
            os.kill(pid, signal.SIGKILL)
        except OSError:
            pass
    time.sleep(0.5)
    return not prefix_processes(image)


def kill_all_tvn():
    """Ends leftover TVN.exe processes in the prefix; restarts the prefix's wineserver as a last resort."""
    if kill_image("TVN.exe"):
        return
    run_host(["wineserver", "-k"], timeout=30, capture=False)
    run_host(["wineserver", "-w"], timeout=30, capture=False)
    run_host(["wineserver", "-p"], timeout=30, capture=False)


def wait_exit(proc, timeout=30):
    """Waits for a Popen from wine_start; returns its exit code or raises AssertionError on timeout."""
    try:
        return proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired as e:
        raise AssertionError("%s did not end within %s s" % (" ".join(map(str, proc.args)), timeout)) from e


class Spawn:
    """A program of the build (TVN.exe unless `program` names another) started
    through tvn_spawn.exe with an exact command-line tail; `spawn_options` go
    to tvn_spawn.exe itself (--env, --unset, --cwd).

    With `suspended` the program waits, created but not running, until
    resume(): its process id is known before it does anything. With
    `capture_stderr` everything that Wine prints on the standard error of
    tvn_spawn and the programs started from it (its debug channels) is kept in
    memory only, for stderr_text(); `env` adds variables for the wine command.
    """

    def __init__(self, tail="", program=None, spawn_options=(), suspended=False, capture_stderr=False, env=None):
        program = program or exe("TVN.exe")
        options = list(spawn_options) + (["--suspended"] if suspended else [])
        self._stderr = []
        self.proc = wine_start([exe("tvn_spawn.exe")] + options + [winpath(program), tail],
                               stdout=subprocess.PIPE, env=env,
                               stderr=subprocess.PIPE if capture_stderr else subprocess.DEVNULL,
                               stdin=subprocess.PIPE if suspended else subprocess.DEVNULL)
        if capture_stderr:
            # A reader thread, so that the pipe never fills; the programs that
            # inherit it may keep it open after tvn_spawn has ended.
            threading.Thread(target=self._read_stderr, daemon=True).start()
        line = self.proc.stdout.readline().decode("ascii", "replace").strip()
        if not line.isdigit():
            self.proc.stdout.close()
            raise AssertionError("tvn_spawn printed no process id: %r" % line)
        self.pid = int(line)

    def _read_stderr(self):
        with self.proc.stderr:
            for line in iter(self.proc.stderr.readline, b""):
                self._stderr.append(line)

    def stderr_text(self):
        """What was printed on the standard error so far (never written anywhere by this module)."""
        return b"".join(list(self._stderr)).decode("utf-8", "replace")

    def resume(self):
        """Lets a suspended program run."""
        self.proc.stdin.write(b"go\n")
        self.proc.stdin.close()

    def description(self):
        """The registry description of the started process; AssertionError if it has none."""
        values = reg_query_key(r"HKCU\Software\TVN\%d" % self.pid)
        if values is None:
            raise AssertionError("no description key of process %d" % self.pid)
        return values

    def exit_code(self, timeout=60):
        try:
            return wait_exit(self.proc, timeout=timeout)
        finally:
            self.proc.stdout.close()
