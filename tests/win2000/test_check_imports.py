#!/usr/bin/env python3
"""The import audit itself: what it reads from objdump, what it refuses, and the checked-in allowlist."""

import os
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import check_imports  # noqa: E402

HEADER = """
build/win32/TVN.exe:     file format pei-i386

Magic\t\t\t010b\t(PE32)
MajorOSystemVersion\t5
MinorOSystemVersion\t0
MajorSubsystemVersion\t5
MinorSubsystemVersion\t0

The Import Tables (interpreted .idata section contents)
 vma:            Hint    Time      Forward  DLL       First
                 Table   Stamp     Chain    Name      Thunk
 00078000\t000780c8 00000000 00000000 00078f80 00078354
"""

KERNEL32 = """
\tDLL Name: KERNEL32.dll
\tvma:  Hint/Ord Member-Name Bound-To
\t786ae\t  136  CloseHandle
\t786bc\t  177  CopyFileW
"""

MSVCRT = """
 00078014\t000780dc 00000000 00000000 00078f9c 00078368

\tDLL Name: msvcrt.dll
\tvma:  Hint/Ord Member-Name Bound-To
\t78620\t   63  malloc
"""

ALLOWLIST = """# test allowlist
KERNEL32.dll CloseHandle  # minimum: Windows NT 3.1
KERNEL32.dll CopyFileW    # minimum: Windows NT 3.1
msvcrt.dll malloc         # minimum: Windows 2000 (msvcrt.dll 6.1)
"""


def write_allowlist(text):
    handle, path = tempfile.mkstemp(suffix=".txt")
    with os.fdopen(handle, "w", encoding="utf-8") as f:
        f.write(text)
    return path


class AllowlistTest(unittest.TestCase):
    def read(self, text):
        path = write_allowlist(text)
        try:
            return check_imports.read_allowlist(path)
        finally:
            os.unlink(path)

    def test_entries_are_keyed_by_dll_without_case(self):
        allowed = self.read(ALLOWLIST)
        self.assertEqual(set(allowed), {("kernel32.dll", "CloseHandle"), ("kernel32.dll", "CopyFileW"),
                                        ("msvcrt.dll", "malloc")})
        self.assertEqual(allowed[("msvcrt.dll", "malloc")], "Windows 2000 (msvcrt.dll 6.1)")

    def test_a_newer_minimum_an_unstated_minimum_or_a_repeat_is_refused(self):
        bad = {
            "newer system": "KERNEL32.dll GetTickCount64  # minimum: Windows Vista\n",
            "Windows XP": "KERNEL32.dll AddVectoredExceptionHandler  # minimum: Windows XP\n",
            "no minimum": "KERNEL32.dll CloseHandle\n",
            "a word only": "KERNEL32.dll CloseHandle  # minimum:\n",
            "three fields": "KERNEL32.dll CloseHandle extra  # minimum: Windows NT 3.1\n",
            "a prefix only": "KERNEL32.dll CloseHandle  # minimum: Windows 20000\n",
            "twice": ALLOWLIST + "kernel32.DLL CopyFileW  # minimum: Windows NT 3.1\n",
            "empty": "# nothing but comments\n",
        }
        for label, text in bad.items():
            with self.subTest(label):
                with self.assertRaises(check_imports.AuditError):
                    self.read(text)

    def test_the_checked_in_list_reads_and_holds_no_function_newer_than_windows_2000(self):
        allowed = check_imports.read_allowlist(os.path.join(HERE, "imports.txt"))
        names = {function for _, function in allowed}
        # Functions that Windows 2000 lacks (the kernel's, and the C run time
        # of Windows XP); the C++ run time or newer headers are known to pull
        # some of them in.
        for newer in ("GetTickCount64", "AddVectoredExceptionHandler", "InitializeSRWLock", "AcquireSRWLockExclusive",
                      "GetSystemTimePreciseAsFileTime", "SetDllDirectoryW", "InitializeConditionVariable",
                      "___lc_codepage_func", "___mb_cur_max_func", "__iob_func", "_aligned_malloc", "_aligned_free",
                      "CreateProcessWithLogonW"):
            self.assertNotIn(newer, names)
        # What the tool itself calls is there.
        for needed in (("kernel32.dll", "GetVersionExW"), ("shell32.dll", "ShellExecuteExW"),
                       ("comctl32.dll", "InitCommonControlsEx"), ("user32.dll", "TrackPopupMenuEx")):
            self.assertIn(needed, allowed)
        # The 64-bit file's own list reads under the 64-bit minimums and
        # names nothing of Vista's.
        x64 = check_imports.read_allowlist(os.path.join(HERE, "imports_x64.txt"), check_imports.MACHINES["x64"][2])
        self.assertFalse({"GetTickCount64", "InitializeSRWLock", "SetDllDirectoryW"} & {f for _, f in x64})


class ObjdumpTest(unittest.TestCase):
    def test_reads_format_versions_and_every_import(self):
        facts = check_imports.parse_objdump(HEADER + KERNEL32 + MSVCRT)
        self.assertEqual(facts["format"], "pei-i386")
        self.assertEqual(facts["magic"], "010b")
        self.assertEqual(facts["versions"], {"MajorOSystemVersion": 5, "MinorOSystemVersion": 0,
                                             "MajorSubsystemVersion": 5, "MinorSubsystemVersion": 0})
        self.assertEqual(facts["imports"], [("KERNEL32.dll", "CloseHandle"), ("KERNEL32.dll", "CopyFileW"),
                                            ("msvcrt.dll", "malloc")])

    def test_an_import_by_ordinal_is_named_by_its_number(self):
        text = HEADER + "\n\tDLL Name: COMCTL32.dll\n\tvma:  Hint/Ord Member-Name Bound-To\n\t80000011\t   17  <none>\n"
        self.assertEqual(check_imports.parse_objdump(text)["imports"], [("COMCTL32.dll", "#17")])

    def test_an_unreadable_import_line_fails_rather_than_being_skipped(self):
        text = HEADER + "\n\tDLL Name: KERNEL32.dll\n\tvma:  Hint/Ord Member-Name Bound-To\n\tsomething else\n"
        with self.assertRaises(check_imports.AuditError):
            check_imports.parse_objdump(text)


class AuditTest(unittest.TestCase):
    def setUp(self):
        path = write_allowlist(ALLOWLIST)
        self.addCleanup(os.unlink, path)
        self.allowed = check_imports.read_allowlist(path)

    def problems(self, text):
        return check_imports.audit("TVN.exe", check_imports.parse_objdump(text), self.allowed)

    def test_allowed_imports_pass(self):
        self.assertEqual(self.problems(HEADER + KERNEL32 + MSVCRT), [])

    def test_the_64_bit_file_is_held_to_xp_x64_and_its_own_image_kind(self):
        x64 = HEADER.replace("pei-i386", "pei-x86-64").replace("010b\t(PE32)", "020b\t(PE32+)")
        self.assertEqual(check_imports.audit("TVN.exe", check_imports.parse_objdump(
            x64.replace("MinorOSystemVersion\t0", "MinorOSystemVersion\t2").replace(
                "MinorSubsystemVersion\t0", "MinorSubsystemVersion\t2") + KERNEL32 + MSVCRT), self.allowed, "x64"), [])
        newer = x64.replace("MinorSubsystemVersion\t0", "MinorSubsystemVersion\t3")
        self.assertEqual(check_imports.audit("TVN.exe", check_imports.parse_objdump(newer + KERNEL32), self.allowed,
                                             "x64"), ["asks for Subsystem version 5.3; XP x64 is 5.2"])
        # Each machine's audit refuses the other's image.
        self.assertEqual(len(check_imports.audit("TVN.exe", check_imports.parse_objdump(x64 + KERNEL32),
                                                 self.allowed)), 1)
        self.assertEqual(len(check_imports.audit("TVN.exe", check_imports.parse_objdump(HEADER + KERNEL32),
                                                 self.allowed, "x64")), 1)

    def test_an_xp_x64_minimum_is_for_the_64_bit_audit_only(self):
        path = write_allowlist("KERNEL32.dll RtlVirtualUnwind  # minimum: Windows XP x64\n")
        self.addCleanup(os.unlink, path)
        self.assertIn(("kernel32.dll", "RtlVirtualUnwind"),
                      check_imports.read_allowlist(path, check_imports.MACHINES["x64"][2]))
        with self.assertRaises(check_imports.AuditError):
            check_imports.read_allowlist(path)

    def test_a_newer_import_is_named(self):
        newer = KERNEL32 + "\t786c8\t  195  GetTickCount64\n"
        self.assertEqual(self.problems(HEADER + newer + MSVCRT), ["not in the allowlist: KERNEL32.dll GetTickCount64"])

    def test_a_listed_function_from_another_dll_is_not_allowed(self):
        text = HEADER + "\n\tDLL Name: USER32.dll\n\tvma:  Hint/Ord Member-Name Bound-To\n\t78620\t   63  malloc\n"
        self.assertEqual(self.problems(text), ["not in the allowlist: USER32.dll malloc"])

    def test_an_ordinal_import_is_refused(self):
        text = HEADER + KERNEL32 + "\n\tDLL Name: msvcrt.dll\n\tvma:  Hint/Ord Member-Name Bound-To\n\t80000011\t   17  <none>\n"
        self.assertEqual(self.problems(text), ["not in the allowlist: msvcrt.dll #17"])

    def test_a_64_bit_or_newer_subsystem_image_is_refused(self):
        text = (HEADER + KERNEL32).replace("pei-i386", "pei-x86-64").replace("010b", "020b")
        self.assertEqual(len(self.problems(text)), 1)
        for field, value in (("MajorSubsystemVersion\t5", "MajorSubsystemVersion\t6"),
                             ("MinorOSystemVersion\t0", "MinorOSystemVersion\t1")):
            with self.subTest(field):
                problems = self.problems((HEADER + KERNEL32).replace(field, value))
                self.assertEqual(len(problems), 1)
                self.assertIn("Windows 2000 is 5.0", problems[0])

    def test_no_imports_at_all_means_the_tables_were_not_read(self):
        self.assertEqual(self.problems(HEADER), ["no import found: the import tables were not read"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
