"""Windows on the test display: the inspector (tvn_inspect.exe), xdotool and screenshots."""

import json
import os
import re

from tvn.env import ensure_env, exe, run_host, screenshot_dir
from tvn.waiting import wait_until
from tvn.wine import decode_console, wine


def inspect(*args, timeout=60, program=None):
    """Runs tvn_inspect.exe (or `program`, another build of it) with the arguments and returns its parsed JSON
    ({"windows": [...]})."""
    result = wine([program or exe("tvn_inspect.exe")] + [str(a) for a in args], timeout=timeout)
    raw = result.stdout
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError:
        text = raw.decode("cp1251", "replace")
    text = text.strip()
    if not text:
        if result.returncode == 1:
            return {"windows": []}
        raise AssertionError("tvn_inspect.exe %s printed nothing (exit %d): %s" % (
            " ".join(map(str, args)), result.returncode, decode_console(result.stderr)))
    try:
        data = json.loads(text)
    except ValueError as e:
        raise AssertionError("tvn_inspect.exe %s printed no JSON (exit %d): %s\n%s" % (
            " ".join(map(str, args)), result.returncode, e, text[:2000])) from e
    if result.returncode not in (0, 1):
        raise AssertionError("tvn_inspect.exe %s failed with %d: %s" % (
            " ".join(map(str, args)), result.returncode, text[:2000]))
    return data


def refresh(window):
    """The inspector's record of `window` (a record from an earlier inspection) as it is now, hidden or not."""
    windows = inspect("--hwnd", window["hwnd"], "--hidden").get("windows", [])
    if not windows:
        raise AssertionError("window %s is gone" % window["hwnd"])
    return windows[0]


def wait_window(title=None, pid=None, timeout=20, cls=None, visible=True):
    """Polls the inspector until a top-level window matches; returns its dict or None."""
    args = []
    if title is not None:
        args += ["--title", title]
    if pid is not None:
        args += ["--pid", str(pid)]
    if cls is not None:
        args += ["--class", cls]
    if not args:
        args = ["--all"]
    return wait_until(lambda: next((w for w in inspect(*args).get("windows", [])
                                    if not visible or w.get("visible", True)), None), timeout, 0.3)


def control(window, control_id):
    """The control with the given id in an inspector window dict; AssertionError if it has none."""
    for c in window.get("controls", []):
        if c.get("id") == control_id:
            return c
    ids = sorted(c.get("id") for c in window.get("controls", []) if isinstance(c.get("id"), int))
    raise AssertionError("window %r has no control %s (has %s)" % (window.get("title"), control_id, ids))


def xdotool(*args, timeout=20, check=True):
    """Runs xdotool on the test display; returns its output as text."""
    ensure_env()
    command = ["xdotool"] + [str(a) for a in args]
    result = run_host(command, timeout=timeout, env=dict(os.environ))
    if check and result.returncode != 0:
        raise AssertionError("%s failed (%d): %s" % (" ".join(command), result.returncode,
                                                      result.stderr.decode("utf-8", "replace")))
    return result.stdout.decode("utf-8", "replace")


def key(*keys):
    xdotool("key", "--delay", "60", *keys)


def x_windows(name_regex=".", only_visible=True):
    """Names of X windows whose name matches the regex (the Wine desktop window excluded)."""
    args = ["search"] + (["--onlyvisible"] if only_visible else []) + ["--name", name_regex]
    out = xdotool(*args, check=False)
    names = []
    for wid in out.split():
        name = xdotool("getwindowname", wid, check=False).strip()
        if name and "Wine desktop" not in name:
            names.append(name)
    return names


def screenshot(name):
    """Captures the whole display into <screenshots>/<name>.png and returns the path."""
    ensure_env()
    safe = re.sub(r"[^\w.-]+", "_", name)
    path = os.path.join(screenshot_dir(), safe + ".png")
    result = run_host(["import", "-window", "root", path], timeout=30, env=dict(os.environ))
    if result.returncode != 0 or not os.path.isfile(path):
        raise AssertionError("screenshot %s failed: %s" % (path, result.stderr.decode("utf-8", "replace")))
    return path


def open_menus():
    """The popup menus open on the display (visible "#32768" windows), with their items."""
    return [w for w in inspect("--menus")["windows"] if w.get("visible", True)]


def right_click_list_item(window, control_id, index, timeout=20):
    """Right-clicks item `index` of the list view `control_id` of `window` with the mouse.

    Returns the popup menus that are open then, waiting up to `timeout`
    seconds for the first one (an empty list when none opened).
    """
    point = inspect("--hwnd", window["hwnd"], "--lv-rclick", control_id, index)
    if not point.get("ok"):
        raise AssertionError("item %d of control %d has no point to click: %r" % (index, control_id, point))
    xdotool("mousemove", "--sync", point["x"], point["y"])
    xdotool("click", 3)
    return wait_until(open_menus, timeout)


def wait_box(pid=None, timeout=30):
    """The tool's message box: class #32770 with the caption exactly "Tolvane"
    (the splash window's caption, "Tolvane 3.1", only contains it)."""
    args = ["--class", "#32770"] + (["--pid", pid] if pid is not None else ["--title", "Tolvane"])
    return wait_until(lambda: next((w for w in inspect(*args)["windows"]
                                    if w.get("title") == "Tolvane" and w.get("visible", True)), None), timeout, 0.3)


def box_text(window):
    """The message text of a message box: its longest static text."""
    texts = [c.get("text") or "" for c in window.get("controls", []) if c.get("class") == "Static"]
    return max(texts, key=len) if texts else ""
