#!/usr/bin/env python3
"""Import audit of the 32-bit TVN.exe: everything it imports must exist on Windows 2000 SP4.

Lists every DLL and function that each executable imports (as `objdump -p`
prints its import tables) and fails on any that the allowlist does not name,
printing them. The allowlist (imports.txt beside this file) is written by hand:
one line per function, "DLL function  # minimum: <system>", where <system> is
the oldest system that the function's documentation names (Windows NT 3.1 up
to Windows 2000). A new import therefore needs a line of its own, added on
purpose, with that fact.

Besides the imports, each executable must be a 32-bit (i386, PE32) image whose
required operating-system and subsystem versions are at most 5.0, since the
loader of Windows 2000 refuses anything that asks for a newer system.

Usage: check_imports.py [--objdump PROGRAM] [--allowlist FILE] EXE...
Exit status: 0 all good, 1 something not allowed (or unreadable), 2 bad arguments.
"""
import argparse
import os
import re
import subprocess
import sys

# The systems that an allowlist entry may give as its minimum: Windows 2000
# and every NT system before it.
ALLOWED_MINIMUMS = ("Windows NT 3.1", "Windows NT 3.5", "Windows NT 3.51", "Windows NT 4.0", "Windows 2000")
WINDOWS_2000 = (5, 0)


class AuditError(Exception):
    pass


def read_allowlist(path):
    """{(dll in lower case, function): minimum text} from the allowlist; AuditError on a malformed line."""
    allowed = {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            text = line.strip()
            if not text or text.startswith("#"):
                continue
            entry, _, comment = text.partition("#")
            fields = entry.split()
            match = re.match(r"^\s*minimum:\s*(.+?)\s*$", comment)
            if len(fields) != 2 or not match:
                raise AuditError("%s:%d: expected 'DLL function  # minimum: <system>', got %r" % (path, number, text))
            minimum = match.group(1)
            if not any(minimum == m or minimum.startswith(m + " ") for m in ALLOWED_MINIMUMS):
                raise AuditError("%s:%d: %s: minimum %r is not Windows 2000 or older (one of: %s)" %
                                 (path, number, fields[1], minimum, ", ".join(ALLOWED_MINIMUMS)))
            key = (fields[0].lower(), fields[1])
            if key in allowed:
                raise AuditError("%s:%d: %s %s is listed twice" % (path, number, fields[0], fields[1]))
            allowed[key] = minimum
    if not allowed:
        raise AuditError("%s lists no function" % path)
    return allowed


def parse_objdump(text):
    """The facts the audit needs from `objdump -p` output.

    Returns a dict with "format" (e.g. "pei-i386"), "magic" (e.g. "010b"),
    "versions" ({"MajorOSystemVersion": 5, ...}) and "imports" (a list of
    (dll, function) pairs; an import by ordinal appears as "#<ordinal>")."""
    facts = {"format": None, "magic": None, "versions": {}, "imports": []}
    match = re.search(r"file format (\S+)", text)
    if match:
        facts["format"] = match.group(1)
    match = re.search(r"^Magic\s+([0-9a-fA-F]+)", text, re.M)
    if match:
        facts["magic"] = match.group(1).lower()
    for name in ("MajorOSystemVersion", "MinorOSystemVersion", "MajorSubsystemVersion", "MinorSubsystemVersion"):
        match = re.search(r"^%s\s+(\d+)" % name, text, re.M)
        if match:
            facts["versions"][name] = int(match.group(1))
    dll = None
    for line in text.splitlines():
        match = re.match(r"^\s*DLL Name:\s*(\S+)", line)
        if match:
            dll = match.group(1)
            continue
        if dll is None:
            continue
        if not line.strip() or line.lstrip().startswith("vma:"):
            if not line.strip():
                dll = None  # the table of one DLL ends at a blank line
            continue
        # "<vma>\t <hint> <name>" for a name, "<vma>\t <ordinal>" (maybe
        # followed by "<none>") for an ordinal.
        match = re.match(r"^\s*[0-9a-fA-F]+\s+(\d+)\s+(\S+)", line)
        if match and match.group(2) != "<none>":
            facts["imports"].append((dll, match.group(2)))
            continue
        match = re.match(r"^\s*[0-9a-fA-F]+\s+(\d+)(\s+<none>)*\s*$", line)
        if match:
            facts["imports"].append((dll, "#" + match.group(1)))
            continue
        raise AuditError("cannot read the import line %r (DLL %s)" % (line, dll))
    return facts


def audit(name, facts, allowed):
    """The problems of one executable, as a list of lines (empty when it passes)."""
    problems = []
    if facts["format"] != "pei-i386" or facts["magic"] != "010b":
        problems.append("not a 32-bit (i386, PE32) executable: format %s, magic %s" % (facts["format"], facts["magic"]))
    versions = facts["versions"]
    for kind in ("OSystem", "Subsystem"):
        major, minor = versions.get("Major%sVersion" % kind), versions.get("Minor%sVersion" % kind)
        if major is None or minor is None:
            problems.append("no %s version in the header" % kind)
        elif (major, minor) > WINDOWS_2000:
            problems.append("asks for %s version %d.%d; Windows 2000 is 5.0" % (kind, major, minor))
    if not facts["imports"]:
        problems.append("no import found: the import tables were not read")
    for dll, function in facts["imports"]:
        if (dll.lower(), function) not in allowed:
            problems.append("not in the allowlist: %s %s" % (dll, function))
    return problems


def run_objdump(objdump, path):
    try:
        result = subprocess.run([objdump, "-p", path], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, timeout=120)
    except (OSError, subprocess.TimeoutExpired) as e:
        raise AuditError("cannot run %s -p %s: %s" % (objdump, path, e)) from e
    if result.returncode != 0:
        raise AuditError("%s -p %s failed (%d): %s" % (objdump, path, result.returncode,
                                                       result.stderr.decode("utf-8", "replace").strip()))
    return result.stdout.decode("utf-8", "replace")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    parser.add_argument("--allowlist", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "imports.txt"))
    parser.add_argument("executables", nargs="+")
    args = parser.parse_args(argv[1:])
    try:
        allowed = read_allowlist(args.allowlist)
    except (OSError, AuditError) as e:
        print("check_imports: %s" % e, file=sys.stderr)
        return 1
    failed = 0
    for path in args.executables:
        try:
            facts = parse_objdump(run_objdump(args.objdump, path))
            problems = audit(path, facts, allowed)
        except AuditError as e:
            problems = [str(e)]
        if problems:
            failed += 1
            print("FAIL %s" % path)
            for problem in problems:
                print("  " + problem)
            continue
        by_dll = {}
        for dll, function in facts["imports"]:
            by_dll.setdefault(dll, []).append(function)
        print("PASS %s: %d imports from %d DLLs, all available on Windows 2000" %
              (path, len(facts["imports"]), len(by_dll)))
        for dll in sorted(by_dll, key=str.lower):
            print("  %s: %s" % (dll, " ".join(sorted(by_dll[dll]))))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
