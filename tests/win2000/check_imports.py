#!/usr/bin/env python3
"""Import audit of the users' TVN.exe: everything it imports must exist on its oldest Windows.

Lists every DLL and function that each executable imports (as `objdump -p`
prints its import tables) and fails on any that the allowlist does not name,
printing them. The allowlist (imports.txt beside this file) is written by hand:
one line per function, "DLL function  # minimum: <system>", where <system> is
the oldest system that the function's documentation names (Windows NT 3.1 up
to Windows 2000). A new import therefore needs a line of its own, added on
purpose, with that fact.

Besides the imports, each executable must be an image of its machine whose
required operating-system and subsystem versions are at most its oldest
system's, since the loader refuses anything that asks for a newer system:
with --machine i386 (the default) a 32-bit (PE32) image for Windows 2000
(5.0); with --machine x64 a 64-bit (PE32+) image for XP x64 / Server 2003 x64
(5.2), whose allowlists may also name "Windows XP x64" as a minimum (the
64-bit functions of the x64 run time, such as RtlLookupFunctionEntry).

Usage: check_imports.py [--objdump PROGRAM] [--machine i386|x64] [--allowlist FILE]... EXE...
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
# What each machine's file may ask for: image format, optional-header magic,
# the newest minimum an allowlist line may give, and the oldest system's
# version.
MACHINES = {
    "i386": ("pei-i386", "010b", ALLOWED_MINIMUMS, (5, 0), "Windows 2000"),
    "x64": ("pei-x86-64", "020b", ALLOWED_MINIMUMS + ("Windows XP x64",), (5, 2), "XP x64"),
}


class AuditError(Exception):
    pass


def read_allowlist(path, minimums=ALLOWED_MINIMUMS, allowed=None):
    """{(dll in lower case, function): minimum text} from the allowlist (added to `allowed`); AuditError on a
    malformed line or a minimum newer than `minimums` allow."""
    allowed = {} if allowed is None else allowed
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
            if not any(minimum == m or minimum.startswith(m + " ") for m in minimums):
                raise AuditError("%s:%d: %s: minimum %r is not %s or older (one of: %s)" %
                                 (path, number, fields[1], minimum, minimums[-1], ", ".join(minimums)))
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


def audit(name, facts, allowed, machine="i386"):
    """The problems of one executable, as a list of lines (empty when it passes)."""
    problems = []
    image, magic, _, oldest, system = MACHINES[machine]
    if facts["format"] != image or facts["magic"] != magic:
        problems.append("not a %s (%s) executable: format %s, magic %s" % (machine, image, facts["format"],
                                                                           facts["magic"]))
    versions = facts["versions"]
    for kind in ("OSystem", "Subsystem"):
        major, minor = versions.get("Major%sVersion" % kind), versions.get("Minor%sVersion" % kind)
        if major is None or minor is None:
            problems.append("no %s version in the header" % kind)
        elif (major, minor) > oldest:
            problems.append("asks for %s version %d.%d; %s is %d.%d" % (kind, major, minor, system, *oldest))
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
    parser.add_argument("--machine", choices=sorted(MACHINES), default="i386")
    parser.add_argument("--allowlist", action="append")
    parser.add_argument("executables", nargs="+")
    args = parser.parse_args(argv[1:])
    lists = args.allowlist or [os.path.join(os.path.dirname(os.path.abspath(__file__)), "imports.txt")]
    try:
        allowed = {}
        for path in lists:
            read_allowlist(path, MACHINES[args.machine][2], allowed)
    except (OSError, AuditError) as e:
        print("check_imports: %s" % e, file=sys.stderr)
        return 1
    failed = 0
    for path in args.executables:
        try:
            facts = parse_objdump(run_objdump(args.objdump, path))
            problems = audit(path, facts, allowed, args.machine)
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
        print("PASS %s: %d imports from %d DLLs, all available on %s" %
              (path, len(facts["imports"]), len(by_dll), MACHINES[args.machine][4]))
        for dll in sorted(by_dll, key=str.lower):
            print("  %s: %s" % (dll, " ".join(sorted(by_dll[dll]))))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
