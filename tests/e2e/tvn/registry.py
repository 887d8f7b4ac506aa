"""The prefix's registry: values read exactly through `reg export`, written through `reg import`."""

import os
import re
import tempfile

from tvn.paths import winpath
from tvn.wine import decode_console, wine

_ROOTS = {
    "HKCU": "HKEY_CURRENT_USER",
    "HKLM": "HKEY_LOCAL_MACHINE",
    "HKCR": "HKEY_CLASSES_ROOT",
    "HKU": "HKEY_USERS",
    "HKCC": "HKEY_CURRENT_CONFIG",
}


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
    elif type == "REG_MULTI_SZ":
        items = [value] if isinstance(value, str) else list(value)
        rhs = "hex(7):" + _hex_bytes(("".join(s + "\0" for s in items) + "\0").encode("utf-16-le"))
    elif type == "REG_DWORD":
        rhs = "dword:%08x" % (int(value) & 0xFFFFFFFF)
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
