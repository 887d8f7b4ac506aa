"""Paths between the two worlds: the prefix's Windows paths and the host's unix paths."""

import os
import pwd
import re

from tvn.env import exe, prefix_dir
from tvn.wine import wine

# Wine's own script host, kept under this name beside the cscript shim.
WINE_CSCRIPT = "tvn_wine_cscript.exe"

_state = {}


def system_folder_unix():
    """The system folder that the test tree's programs see, as a unix path: C:\\windows\\system32 of the 64-bit
    prefix, which for the 32-bit programs of the i386 lane is syswow64 on disk."""
    with open(exe("tvn_spawn.exe"), "rb") as f:
        header = f.read(4096)
    at = int.from_bytes(header[0x3C:0x40], "little")
    machine = int.from_bytes(header[at + 4:at + 6], "little")  # IMAGE_FILE_HEADER.Machine
    return os.path.join(prefix_dir(), "drive_c", "windows", "syswow64" if machine == 0x14C else "system32")


def winpath(unix_path):
    """The Windows path of a unix path: C:\\... inside drive_c, Z:\\... elsewhere."""
    path = os.path.abspath(unix_path)
    drive_c = os.path.join(prefix_dir(), "drive_c")
    if path == drive_c or path.startswith(drive_c + os.sep):
        rest = path[len(drive_c):].lstrip("/")
        return "C:\\" + rest.replace("/", "\\")
    return "Z:" + path.replace("/", "\\")


def _resolve_case(base, parts):
    """Joins parts to base, matching each existing component without regard to case as Wine does."""
    path = base
    for part in parts:
        if not part or part == ".":
            continue
        candidate = os.path.join(path, part)
        if not os.path.exists(candidate) and os.path.isdir(path):
            lower = part.lower()
            for entry in os.listdir(path):
                if entry.lower() == lower:
                    candidate = os.path.join(path, entry)
                    break
        path = candidate
    return path


def unixpath(win_path):
    """The unix path of a Windows path (C: and Z: computed, other drives through winepath -u)."""
    text = win_path.replace("/", "\\")
    match = re.match(r"^([A-Za-z]):(\\.*)?$", text)
    if match and match.group(1).lower() == "z":
        return _resolve_case("/", (match.group(2) or "").split("\\"))
    if match and match.group(1).lower() == "c":
        return _resolve_case(os.path.join(prefix_dir(), "drive_c"), (match.group(2) or "").split("\\"))
    result = wine(["winepath", "-u", win_path], timeout=30)
    out = result.stdout.decode("utf-8", "replace").strip()
    if result.returncode != 0 or not out:
        raise AssertionError("winepath -u %r failed" % win_path)
    return out


def wine_user():
    return pwd.getpwuid(os.getuid()).pw_name


def temp_dir_unix():
    """The Wine user's %TEMP% (what GetTempPathW gives) as a unix path, created if missing.

    Wine 8 sets it in HKCU\\Environment, normally to C:\\users\\<user>\\Temp.
    """
    if "temp" not in _state:
        # The registry helpers need winpath from here: imported when first used.
        from tvn.registry import reg_value
        profile = "C:\\users\\" + wine_user()
        temp = reg_value(r"HKCU\Environment", "TEMP") or profile + "\\Temp"
        temp = re.sub("%USERPROFILE%", lambda _: profile, temp, flags=re.I)
        _state["temp"] = unixpath(temp)
    os.makedirs(_state["temp"], exist_ok=True)
    return _state["temp"]
