#!/usr/bin/env python3
"""The users' executables read as files: machine type and description scripts, and the reader on damaged files.

TVN_WIN32_DIR names the tree of the users' files (build/win32 or build/win64:
TVN.exe, TVN-en.exe and the packed scripts under resources/); TVN_SOURCE_DIR
the repository."""

import os
import random
import sys
import unittest

SOURCE = os.environ.get("TVN_SOURCE_DIR") or os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD = os.environ.get("TVN_WIN32_DIR") or os.path.join(SOURCE, "build", "win32")
sys.path.insert(0, os.path.join(SOURCE, "scripts"))
import pe_resource  # noqa: E402

SCRIPT_TYPE, SCRIPT_NAME = 10, 750  # RCDATA 750
NEUTRAL = 0


def read(*parts):
    with open(os.path.join(BUILD, *parts), "rb") as f:
        return f.read()


class ExecutablesTest(unittest.TestCase):
    def test_both_executables_are_of_the_tree_machine_and_carry_their_script_once(self):
        expected = ("amd64", "PE32+") if os.path.basename(BUILD.rstrip("/")) == "win64" else ("i386", "PE32")
        for exe, script in (("TVN.exe", "description.script"), ("TVN-en.exe", "description_en.script")):
            with self.subTest(exe):
                pe = pe_resource.PeFile(read(exe))
                self.assertEqual((pe.machine_name(), pe.format), expected)
                # Language neutral and the only language: an update with
                # language 0 replaced it instead of adding a second entry.
                self.assertEqual(pe.resource(SCRIPT_TYPE, SCRIPT_NAME), [(NEUTRAL, read("resources", script))])

    def test_the_english_copy_differs_from_the_original_only_in_its_resources(self):
        original, english = pe_resource.PeFile(read("TVN.exe")), pe_resource.PeFile(read("TVN-en.exe"))
        code = [s for s in original.sections if s[0] < original.resource_rva]
        self.assertTrue(code)
        for rva, _, raw_size, raw_at in code:
            copy = [s for s in english.sections if s[0] == rva]
            self.assertEqual(len(copy), 1, "section at RVA 0x%x is missing in TVN-en.exe" % rva)
            self.assertEqual(original.data[raw_at:raw_at + raw_size],
                             english.data[copy[0][3]:copy[0][3] + copy[0][2]], "section at RVA 0x%x changed" % rva)
        # The manifest and the version block stay.
        for kind in (24, 16):
            self.assertEqual(original.resource(kind, 1), english.resource(kind, 1))


class DamagedFileTest(unittest.TestCase):
    """Whatever the bytes, the reader answers with data or PeError, never with another exception."""

    def attempt(self, data):
        try:
            pe = pe_resource.PeFile(data)
            pe.machine_name()
            return pe.resource(SCRIPT_TYPE, SCRIPT_NAME)
        except pe_resource.PeError:
            return None

    def test_cut_files(self):
        data = read("TVN.exe")
        whole = self.attempt(data)
        self.assertIsNotNone(whole)
        # Cut inside the headers: nothing can be read.
        for size in (0, 1, 2, 0x3C, 0x40, 0x80, 0x100, 0x180, 0x200, 0x3FF):
            with self.subTest(size=size):
                self.assertIsNone(self.attempt(data[:size]))
        # Cut further on: the script is read whole while it lies in what is
        # left, and never in part.
        pe = pe_resource.PeFile(data)
        for size in range(0x400, len(data), max(1, len(data) // 97)):
            with self.subTest(size=size):
                self.assertIn(self.attempt(data[:size]), (None, whole))
        self.assertIsNone(self.attempt(data[:pe.offset(pe.resource_rva, 1) + 8]))

    def test_not_an_executable(self):
        for data in (b"", b"MZ", b"MZ" + b"\xff" * 62, read("resources", "description.script")):
            with self.assertRaises(pe_resource.PeError):
                pe_resource.PeFile(data)

    def test_changed_header_and_resource_bytes(self):
        data = read("TVN.exe")
        pe = pe_resource.PeFile(data)
        resources = pe.offset(pe.resource_rva, 1)
        rng = random.Random(750)
        for _ in range(400):
            damaged = bytearray(data)
            # The headers and the top of the resource tree, where offsets live.
            at = rng.choice([rng.randrange(0, 0x400), resources + rng.randrange(0, 0x200)])
            damaged[at] = rng.randrange(256)
            self.attempt(bytes(damaged))

    def test_a_tree_entry_pointing_out_of_the_file(self):
        data = bytearray(read("TVN.exe"))
        pe = pe_resource.PeFile(bytes(data))
        root = pe.offset(pe.resource_rva, 1)
        entries = pe._directory(0)
        index = [key for key, _, _ in entries].index(SCRIPT_TYPE)
        target = root + 16 + 8 * index + 4
        for bad in (0xFFFFFFFF, 0x80000000 | 0x7FFFFFF0, 0x80000000 | (len(data) - root - 4)):
            with self.subTest(target=hex(bad)):
                data[target:target + 4] = bad.to_bytes(4, "little")
                self.assertIsNone(self.attempt(bytes(data)))

if __name__ == "__main__":
    unittest.main(verbosity=2)
