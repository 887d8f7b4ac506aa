"""Helpers for the end-to-end tests that drive TVN.exe under Wine.

Standard library only. CTest runs every tests/e2e/test_*.py as
`python3 <file>` from the Windows build directory with TVN_BUILD_DIR and
TVN_SOURCE_DIR set; scripts/test.sh has already exported the Wine environment
(WINEPREFIX, HOME, LOCPATH, LC_CTYPE, DISPLAY, ...). Run by hand, this
module sets the same environment up itself: the prefix inside the build tree,
the ru_RU.UTF-8 host character set (ANSI code page 1251, English
system texts), the cscript shim installed as the prefix's system cscript.exe,
and a private Xvfb display when DISPLAY is unset.

Every subprocess runs with a timeout; failures raise AssertionError with the
command and its output in the message.
"""

import atexit
import json
import os
import pwd
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

_ROOTS = {
    "HKCU": "HKEY_CURRENT_USER",
    "HKLM": "HKEY_LOCAL_MACHINE",
    "HKCR": "HKEY_CLASSES_ROOT",
    "HKU": "HKEY_USERS",
    "HKCC": "HKEY_CURRENT_CONFIG",
}

_state = {"env_ready": False, "xvfb": None, "started_wineserver": False}


# --------------------------------------------------------------------------
# Paths


def source_dir():
    """The repository root."""
    path = os.environ.get("TVN_SOURCE_DIR")
    if path:
        return os.path.abspath(path)
    return os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))


def build_dir():
    """The Windows build tree (build/win unless TVN_BUILD_DIR says otherwise)."""
    path = os.environ.get("TVN_BUILD_DIR")
    if path:
        return os.path.abspath(path)
    root = os.environ.get("TVN_BUILD_ROOT") or os.path.join(source_dir(), "build")
    return os.path.join(os.path.abspath(root), "win")


def exe(name):
    """Unix path of an executable built in the Windows tree (TVN.exe, tvn_inspect.exe, ...)."""
    path = os.path.join(build_dir(), name)
    if not os.path.isfile(path):
        raise AssertionError("%s was not built (expected at %s)" % (name, path))
    return path


def screenshot_dir():
    path = os.environ.get("TVN_SCREENSHOT_DIR") or os.path.join(os.path.dirname(build_dir()), "screenshots")
    os.makedirs(path, exist_ok=True)
    return path


def prefix_dir():
    ensure_env()
    return os.environ["WINEPREFIX"]


# --------------------------------------------------------------------------
# Environment


def _setup_version():
    """The prefix setup version, read from scripts/wine-env.sh so both stay in step."""
    try:
        with open(os.path.join(source_dir(), "scripts", "wine-env.sh"), encoding="utf-8") as f:
            match = re.search(r"^TVN_WINE_SETUP_VERSION=(\S+)", f.read(), re.M)
            if match:
                return match.group(1)
    except OSError:
        pass
    return "1"


def _run_plain(args, timeout, env=None, what=None, capture=True):
    """Runs a host command with a timeout; returns CompletedProcess with bytes output.

    Commands that may leave a daemon behind (wineserver -p, wineboot) must not
    capture: the daemon would hold the pipes open and the wait would not end.
    """
    out = subprocess.PIPE if capture else subprocess.DEVNULL
    try:
        return subprocess.run(args, stdin=subprocess.DEVNULL, stdout=out, stderr=out, timeout=timeout, env=env)
    except subprocess.TimeoutExpired as e:
        raise AssertionError("%s did not end within %s s" % (what or " ".join(map(str, args)), timeout)) from e
    except OSError as e:
        raise AssertionError("cannot run %s: %s" % (args[0], e)) from e


def _compile_locales(locdir):
    for name in ("ru_RU", "en_US"):
        target = os.path.join(locdir, name + ".UTF-8")
        if os.path.isfile(os.path.join(target, "LC_CTYPE")):
            continue
        os.makedirs(locdir, exist_ok=True)
        # localedef exits 1 for warnings; judge by the result.
        _run_plain(["localedef", "-i", name, "-f", "UTF-8", target], timeout=120)
        if not os.path.isfile(os.path.join(target, "LC_CTYPE")):
            raise AssertionError("could not compile the %s.UTF-8 locale into %s (is 'locales' installed?)"
                                 % (name, locdir))


def system_folder_unix():
    """The prefix's system folder (C:\\windows\\system32 of the 64-bit prefix) as a unix path."""
    return os.path.join(prefix_dir(), "drive_c", "windows", "system32")


# Wine's own script host, kept under this name beside the shim.
WINE_CSCRIPT = "tvn_wine_cscript.exe"


def _is_wine_builtin(path):
    try:
        with open(path, "rb") as f:
            f.seek(64)
            return f.read(16) == b"Wine builtin DLL"
    except OSError:
        return False


def _install_shim():
    """Installs the build's cscript shim as the prefix's system32\\cscript.exe, as scripts/wine-env.sh does.

    Wine's own script host is kept as tvn_wine_cscript.exe, which the shim
    runs; the prefix's DllOverrides (cscript.exe = native) make Wine run the
    installed file rather than its built-in cscript.
    """
    shim = os.path.join(build_dir(), "cscript.exe")
    if not os.path.isfile(shim):
        raise AssertionError("the cscript shim is not built: %s" % shim)
    system = os.path.join(os.environ["WINEPREFIX"], "drive_c", "windows", "system32")
    host = os.path.join(system, "cscript.exe")
    original = os.path.join(system, WINE_CSCRIPT)
    if not os.path.isfile(original):
        if not _is_wine_builtin(host):
            raise AssertionError("%s is not Wine's own script host, and no copy of it exists" % host)
        shutil.copyfile(host, original)
    with open(shim, "rb") as a, open(host, "rb") as b:
        same = a.read() == b.read()
    if not same:
        shutil.copyfile(shim, host)


def _display_answers(display):
    env = dict(os.environ, DISPLAY=display)
    try:
        return subprocess.run(["xdpyinfo"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, env=env, timeout=5).returncode == 0
    except (subprocess.TimeoutExpired, OSError):
        return False


def _start_xvfb():
    for n in range(90, 190):
        if os.path.exists("/tmp/.X11-unix/X%d" % n) or os.path.exists("/tmp/.X%d-lock" % n):
            continue
        proc = subprocess.Popen(["Xvfb", ":%d" % n, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and proc.poll() is None:
            if _display_answers(":%d" % n):
                _state["xvfb"] = proc
                os.environ["DISPLAY"] = ":%d" % n
                return
            time.sleep(0.1)
        if proc.poll() is None:
            proc.kill()
        proc.wait(timeout=10)
    raise AssertionError("could not start Xvfb on any display from :90 to :189")


def _cleanup_own():
    """At exit: stop the wineserver and Xvfb that this module started."""
    if _state["xvfb"] is not None:
        if os.environ.get("WINEPREFIX"):
            try:
                _run_plain(["wineserver", "-k"], timeout=30, capture=False)
                _run_plain(["wineserver", "-w"], timeout=30, capture=False)
            except AssertionError:
                pass
        proc = _state["xvfb"]
        _state["xvfb"] = None
        if proc.poll() is None:
            proc.terminate()
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                proc.kill()


def _setup_prefix():
    prefix = os.environ["WINEPREFIX"]
    marker = os.path.join(prefix, ".tvn-setup")
    version = _setup_version()
    try:
        with open(marker, encoding="ascii") as f:
            ready = f.read().strip() == version and os.path.isdir(os.path.join(prefix, "drive_c"))
    except OSError:
        ready = False
    if ready:
        _install_shim()
        _warm()
        return
    if os.path.isdir(prefix):
        _run_plain(["wineserver", "-k"], timeout=30, capture=False)
        _run_plain(["wineserver", "-w"], timeout=30, capture=False)
        shutil.rmtree(prefix)
    result = _run_plain(["wineboot", "-u"], timeout=180, capture=False)
    if result.returncode != 0:
        raise AssertionError("wineboot -u failed with %d" % result.returncode)
    _warm()
    fonts = os.path.join(prefix, "drive_c", "windows", "Fonts")
    os.makedirs(fonts, exist_ok=True)
    if os.path.isdir("/usr/share/wine/fonts"):
        for name in os.listdir("/usr/share/wine/fonts"):
            shutil.copy(os.path.join("/usr/share/wine/fonts", name), fonts)
    for args in (["reg", "add", r"HKCR\.script", "/ve", "/d", "JSFile", "/f"],
                 ["reg", "add", r"HKCU\Software\Wine\Explorer", "/v", "Desktop", "/d", "Default", "/f"],
                 ["reg", "add", r"HKCU\Software\Wine\Explorer\Desktops", "/v", "Default", "/d", "1024x768", "/f"],
                 # Run the shim installed as system32\cscript.exe, not Wine's built-in cscript.
                 ["reg", "add", r"HKCU\Software\Wine\DllOverrides", "/v", "cscript.exe", "/d", "native", "/f"]):
        wine(args, check=True)
    _install_shim()
    with open(marker, "w", encoding="ascii") as f:
        f.write(version + "\n")
    _warm()


def _warm():
    """Keeps the prefix warm: a persistent wineserver, the system services and the virtual desktop.

    They are started with their output going nowhere: a Wine program that
    starts them itself hands its own output pipes on to them, and reading
    that program's output would then wait for the services to end.
    """
    env = dict(os.environ)
    _run_plain(["wineserver", "-p"], timeout=30, capture=False)
    _run_plain(["wine", "cmd", "/c", "exit"], timeout=60, env=env, capture=False)
    desktop = "C:\\windows\\system32\\explorer.exe /desktop"
    if os.environ.get("DISPLAY") and not _prefix_processes("explorer.exe", desktop):
        subprocess.Popen(["wine", "explorer", "/desktop=Default,1024x768"], stdin=subprocess.DEVNULL,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env, start_new_session=True)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and not _prefix_processes("explorer.exe", desktop):
            time.sleep(0.1)


def ensure_env():
    """Makes sure the Wine environment of the build tree is in os.environ.

    Inherits what scripts/test.sh exported; otherwise builds the same
    environment, starts a private Xvfb if DISPLAY is unset and prepares the
    prefix. Safe to call any number of times.
    """
    if _state["env_ready"]:
        return
    build = build_dir()
    # Inherit the environment only when it belongs to this build tree: a
    # WINEPREFIX from the user's own shell must never be used.
    inherited = os.environ.get("WINEPREFIX")
    # Programs are found the system's way only: the shim lives in the system folder.
    os.environ.pop("WINEPATH", None)
    if not inherited or os.path.realpath(inherited) != os.path.realpath(os.path.join(build, "wineprefix")):
        os.makedirs(build, exist_ok=True)
        home = os.path.join(build, "winehome")
        os.makedirs(home, exist_ok=True)
        locdir = os.path.join(build, "locale")
        _compile_locales(locdir)
        # Code pages 1251/866 from LC_CTYPE, English system texts from
        # LC_MESSAGES; LC_ALL would override both.
        os.environ.pop("LC_ALL", None)
        os.environ.update({
            "WINEPREFIX": os.path.join(build, "wineprefix"),
            "HOME": home,
            "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
            "WINEARCH": "win64",
            "LOCPATH": locdir,
            "LANG": "ru_RU.UTF-8",
            "LC_CTYPE": "ru_RU.UTF-8",
            "LC_MESSAGES": "en_US.UTF-8",
        })
    if not os.environ.get("DISPLAY"):
        # A wineserver left from an earlier run would keep its desktop on a
        # display that is gone.
        _run_plain(["wineserver", "-k"], timeout=30, capture=False)
        _run_plain(["wineserver", "-w"], timeout=30, capture=False)
        _start_xvfb()
        atexit.register(_cleanup_own)
    _state["env_ready"] = True  # the setup below runs Wine through wine()
    try:
        _setup_prefix()
    except BaseException:
        _state["env_ready"] = False
        raise


def _wine_env(env):
    ensure_env()
    full = dict(os.environ)
    if env:
        full.update({k: str(v) for k, v in env.items()})
    return full


# --------------------------------------------------------------------------
# Running Wine programs


def wine(args, timeout=60, env=None, check=False, cwd=None):
    """Runs `wine <args>` and returns the CompletedProcess (stdout/stderr as bytes)."""
    args = [str(a) for a in args]
    command = ["wine"] + args
    try:
        result = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, timeout=timeout, env=_wine_env(env), cwd=cwd)
    except subprocess.TimeoutExpired as e:
        raise AssertionError("wine %s did not end within %s s" % (" ".join(args), timeout)) from e
    if check and result.returncode != 0:
        raise AssertionError("wine %s ended with %d\nstdout: %s\nstderr: %s" % (
            " ".join(args), result.returncode, decode_console(result.stdout), decode_console(result.stderr)))
    return result


def wine_start(args, env=None, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=None,
               stdin=subprocess.DEVNULL):
    """Starts `wine <args>` without waiting; returns the Popen (its pid is the unix pid)."""
    command = ["wine"] + [str(a) for a in args]
    return subprocess.Popen(command, stdin=stdin, stdout=stdout, stderr=stderr,
                            env=_wine_env(env), cwd=cwd)


def decode_console(data):
    """Decodes what a Wine console program printed: the OEM code page (866) here."""
    if isinstance(data, str):
        return data
    return data.decode("cp866", "replace")


# --------------------------------------------------------------------------
# Paths between the two worlds


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
        profile = "C:\\users\\" + wine_user()
        temp = reg_value(r"HKCU\Environment", "TEMP") or profile + "\\Temp"
        temp = re.sub("%USERPROFILE%", lambda _: profile, temp, flags=re.I)
        _state["temp"] = unixpath(temp)
    os.makedirs(_state["temp"], exist_ok=True)
    return _state["temp"]


# --------------------------------------------------------------------------
# Registry


def _full_key(path):
    path = path.replace("/", "\\").strip("\\")
    root, _, rest = path.partition("\\")
    root = _ROOTS.get(root.upper(), root.upper())
    return root + ("\\" + rest if rest else "")


def _reg_unescape(text):
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            n = text[i + 1]
            out.append({"n": "\n", "r": "\r", "0": "\0"}.get(n, n))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def _reg_string(data):
    """A registry string from its UTF-16LE bytes, cut at the first terminator."""
    text = data.decode("utf-16-le", "replace")
    cut = text.find("\0")
    return text if cut < 0 else text[:cut]


def _parse_reg_value(raw):
    """Decodes the right-hand side of one .reg line."""
    if raw.startswith('"'):
        match = re.match(r'^"((?:[^"\\]|\\.)*)"\s*$', raw, re.S)
        if not match:
            raise AssertionError("cannot parse the .reg string %r" % raw)
        return _reg_unescape(match.group(1))
    if raw.startswith("dword:"):
        return int(raw[6:], 16)
    match = re.match(r"^hex(?:\(([0-9a-fA-F]+)\))?:(.*)$", raw, re.S)
    if not match:
        raise AssertionError("cannot parse the .reg value %r" % raw)
    kind = int(match.group(1), 16) if match.group(1) else 3
    digits = re.sub(r"[\s\\,]", "", match.group(2))
    data = bytes.fromhex(digits)
    if kind in (1, 2):  # REG_SZ, REG_EXPAND_SZ
        return _reg_string(data)
    if kind == 7:  # REG_MULTI_SZ
        text = data.decode("utf-16-le", "replace")
        return [s for s in text.split("\0") if s] if text.strip("\0") else []
    if kind == 4 and len(data) == 4:
        return int.from_bytes(data, "little")
    if kind == 0xB and len(data) == 8:  # REG_QWORD
        return int.from_bytes(data, "little")
    return data


def parse_reg_file(text):
    """Parses .reg text into {key: {name: value}}; the default value is named ''."""
    lines = text.replace("\r\n", "\n").split("\n")
    keys = {}
    current = None
    i = 0
    while i < len(lines):
        line = lines[i]
        i += 1
        # Hex values continue over lines ending with a backslash.
        while line.endswith("\\") and not line.lstrip().startswith('"') and i < len(lines):
            line = line[:-1] + lines[i].strip()
            i += 1
        if line.startswith("[") and line.rstrip().endswith("]"):
            current = keys.setdefault(line.strip()[1:-1], {})
            continue
        if current is None or not line.strip():
            continue
        if line.startswith("@="):
            name, raw = "", line[2:]
        elif line.startswith('"'):
            match = re.match(r'^"((?:[^"\\]|\\.)*)"=(.*)$', line, re.S)
            if not match:
                continue
            name, raw = _reg_unescape(match.group(1)), match.group(2)
            # A hex value of a quoted name may also continue over lines.
            while raw.endswith("\\") and raw.startswith("hex") and i < len(lines):
                raw = raw[:-1] + lines[i].strip()
                i += 1
        else:
            continue
        current[name] = _parse_reg_value(raw)
    return keys


def key_exists(path):
    """True when the registry key exists in the prefix."""
    return wine(["reg", "query", path], timeout=30).returncode == 0


def reg_query_key(path):
    """The values of one key as {name: value} (the default value under ''), or None if the key is missing.

    REG_SZ/REG_EXPAND_SZ give str, REG_DWORD/REG_QWORD int, REG_MULTI_SZ a
    list of str, other types bytes. Read through `reg export`, whose UTF-16
    file keeps every character exact.
    """
    full = _full_key(path)
    handle, out = tempfile.mkstemp(suffix=".reg", prefix="tvn-reg-")
    os.close(handle)
    try:
        result = wine(["reg", "export", full, winpath(out), "/y"], timeout=30)
        if result.returncode != 0:
            return None
        with open(out, "rb") as f:
            data = f.read()
    finally:
        os.unlink(out)
    text = data.decode("utf-16") if data[:2] in (b"\xff\xfe", b"\xfe\xff") else data.decode("utf-8", "replace")
    keys = parse_reg_file(text)
    for name, values in keys.items():
        if name.lower() == full.lower():
            return values
    return {}


def reg_value(path, name, default=None):
    """One value of a key, or default when the key or the value is missing."""
    values = reg_query_key(path)
    if values is None:
        return default
    return values.get(name, default)


def _reg_escape_name(name):
    return name.replace("\\", "\\\\").replace('"', '\\"')


def _hex_bytes(data):
    return ",".join("%02x" % b for b in data)


def reg_add(key, name, value, type="REG_SZ"):
    """Writes one value (name None or '' is the default value). Exact for any text, through a .reg import."""
    type = type.upper()
    if type == "REG_SZ":
        rhs = "hex(1):" + _hex_bytes((str(value) + "\0").encode("utf-16-le"))
    elif type == "REG_EXPAND_SZ":
        rhs = "hex(2):" + _hex_bytes((str(value) + "\0").encode("utf-16-le"))
    elif type == "REG_MULTI_SZ":
        items = [value] if isinstance(value, str) else list(value)
        rhs = "hex(7):" + _hex_bytes(("".join(s + "\0" for s in items) + "\0").encode("utf-16-le"))
    elif type == "REG_DWORD":
        rhs = "dword:%08x" % (int(value) & 0xFFFFFFFF)
    elif type == "REG_QWORD":
        rhs = "hex(b):" + _hex_bytes((int(value) & 0xFFFFFFFFFFFFFFFF).to_bytes(8, "little"))
    elif type == "REG_BINARY":
        rhs = "hex:" + _hex_bytes(bytes(value))
    else:
        raise ValueError("unsupported registry type %s" % type)
    left = "@" if not name else '"%s"' % _reg_escape_name(name)
    _reg_import("[%s]\r\n%s=%s\r\n" % (_full_key(key), left, rhs))


def _reg_import(body):
    text = "Windows Registry Editor Version 5.00\r\n\r\n" + body + "\r\n"
    handle, path = tempfile.mkstemp(suffix=".reg", prefix="tvn-reg-")
    try:
        with os.fdopen(handle, "wb") as f:
            f.write(b"\xff\xfe" + text.encode("utf-16-le"))
        result = wine(["reg", "import", winpath(path)], timeout=30)
        if result.returncode != 0:
            raise AssertionError("reg import failed (%d): %s\n%s" % (
                result.returncode, decode_console(result.stdout + result.stderr), text))
    finally:
        os.unlink(path)


def reg_delete(key, name=None):
    """Deletes a value (name given; '' is the default value) or the whole key. True if something was deleted."""
    if name is None:
        args = ["reg", "delete", key, "/f"]
    elif name == "":
        args = ["reg", "delete", key, "/ve", "/f"]
    else:
        args = ["reg", "delete", key, "/v", name, "/f"]
    return wine(args, timeout=30).returncode == 0


def set_windows_version(version):
    """Makes GetVersionExW in this prefix report another version: nt40, win98, win2k, winxp, win10, ..."""
    reg_add(r"HKCU\Software\Wine", "Version", version)


def reset_windows_version():
    reg_delete(r"HKCU\Software\Wine", "Version")


# --------------------------------------------------------------------------
# Windows: the inspector and xdotool


def inspect(*args, timeout=60):
    """Runs tvn_inspect.exe with the arguments and returns its parsed JSON ({"windows": [...]})."""
    result = wine([exe("tvn_inspect.exe")] + [str(a) for a in args], timeout=timeout)
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
    deadline = time.monotonic() + timeout
    while True:
        data = inspect(*args)
        for window in data.get("windows", []):
            if not visible or window.get("visible", True):
                return window
        if time.monotonic() >= deadline:
            return None
        time.sleep(0.3)


def control(window, control_id):
    """The control with the given id in an inspector window dict; AssertionError if it has none."""
    for c in window.get("controls", []):
        if c.get("id") == control_id:
            return c
    ids = sorted(c.get("id") for c in window.get("controls", []) if isinstance(c.get("id"), int))
    raise AssertionError("window %r has no control %s (has %s)" % (window.get("title"), control_id, ids))


def center(item):
    """The centre of an inspector rect, given as a dict or a list [left, top, right, bottom]."""
    rect = item["rect"] if isinstance(item, dict) and "rect" in item else item
    if isinstance(rect, dict):
        left, top, right, bottom = rect["left"], rect["top"], rect["right"], rect["bottom"]
    else:
        left, top, right, bottom = rect
    return (left + right) // 2, (top + bottom) // 2


def xdotool(*args, timeout=20, check=True):
    """Runs xdotool on the test display; returns its output as text."""
    ensure_env()
    command = ["xdotool"] + [str(a) for a in args]
    result = _run_plain(command, timeout=timeout, env=dict(os.environ))
    if check and result.returncode != 0:
        raise AssertionError("%s failed (%d): %s" % (" ".join(command), result.returncode,
                                                      result.stderr.decode("utf-8", "replace")))
    return result.stdout.decode("utf-8", "replace")


def click(x, y, button=1):
    xdotool("mousemove", "--sync", int(x), int(y))
    xdotool("click", button)


def key(*keys):
    xdotool("key", "--delay", "60", *keys)


def type_text(text):
    xdotool("type", "--delay", "40", text)


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
    result = _run_plain(["import", "-window", "root", path], timeout=30, env=dict(os.environ))
    if result.returncode != 0 or not os.path.isfile(path):
        raise AssertionError("screenshot %s failed: %s" % (path, result.stderr.decode("utf-8", "replace")))
    return path


# --------------------------------------------------------------------------
# Processes


def _prefix_processes(image, command_start=None):
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
    if not _prefix_processes(image):
        return True
    wine(["taskkill", "/f", "/im", image], timeout=30)
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if not _prefix_processes(image):
            return True
        time.sleep(0.1)
    for pid in _prefix_processes(image):
        try:
            os.kill(pid, signal.SIGKILL)
        except OSError:
            pass
    time.sleep(0.5)
    return not _prefix_processes(image)


def kill_all_tvn():
    """Ends leftover TVN.exe processes in the prefix; restarts the prefix's wineserver as a last resort."""
    if kill_image("TVN.exe"):
        return
    _run_plain(["wineserver", "-k"], timeout=30, capture=False)
    _run_plain(["wineserver", "-w"], timeout=30, capture=False)
    _run_plain(["wineserver", "-p"], timeout=30, capture=False)


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


def wait_box(pid=None, timeout=30):
    """The tool's message box: class #32770 with the caption exactly "Tolvane"
    (the splash window's caption, "Tolvane 3.1", only contains it)."""
    args = ["--class", "#32770"] + (["--pid", pid] if pid is not None else ["--title", "Tolvane"])
    deadline = time.monotonic() + timeout
    while True:
        for window in inspect(*args)["windows"]:
            if window.get("title") == "Tolvane" and window.get("visible", True):
                return window
        if time.monotonic() >= deadline:
            return None
        time.sleep(0.3)


def box_text(window):
    """The message text of a message box: its longest static text."""
    texts = [c.get("text") or "" for c in window.get("controls", []) if c.get("class") == "Static"]
    return max(texts, key=len) if texts else ""


# --------------------------------------------------------------------------
# Test case base and runner


class TvnTestCase(unittest.TestCase):
    """Base for end-to-end tests: a prepared environment and no TVN.exe left over before or after."""

    @classmethod
    def setUpClass(cls):
        ensure_env()

    def setUp(self):
        kill_all_tvn()

    def tearDown(self):
        if self._failed():
            try:
                print("screenshot of the failure: %s" % screenshot(self.id() + "-failed"), file=sys.stderr)
            except AssertionError:
                pass
        kill_all_tvn()

    def _failed(self):
        outcome = getattr(self, "_outcome", None)
        result = getattr(outcome, "result", None)
        if result is None:
            return False
        for test, _ in list(getattr(result, "errors", [])) + list(getattr(result, "failures", [])):
            if test is self:
                return True
        return not getattr(outcome, "success", True)


def main():
    """Runs the calling module's tests with verbosity 2 and exits with their status."""
    program = unittest.main(module="__main__", verbosity=2, exit=False)
    result = program.result
    ok = result.wasSuccessful() and result.testsRun > 0
    sys.exit(0 if ok else 1)
