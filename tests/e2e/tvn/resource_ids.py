"""The resource identifiers of TVN.exe, read from resources/resource.h.

Every `#define NAME number` there becomes an attribute of this module, so that
the tests name the dialogs and their controls as the code does:
`ids.IDC_COMMAND_LIST`, `ids.IDD_LOGON`.
"""

import os
import re

from tvn.env import source_dir

_DEFINE = re.compile(r"^\s*#\s*define\s+([A-Z][A-Z0-9_]*)\s+(\d+)\s*(?://.*)?$")


def read(path=None):
    """{name: number} of every numeric #define in the header (resources/resource.h by default)."""
    path = path or os.path.join(source_dir(), "resources", "resource.h")
    found = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            match = _DEFINE.match(line)
            if match:
                found[match.group(1)] = int(match.group(2))
    if not found:
        raise AssertionError("%s names no resource identifiers" % path)
    return found


globals().update(read())
