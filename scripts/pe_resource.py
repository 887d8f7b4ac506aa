#!/usr/bin/env python3
"""Reads a Windows executable (PE32 or PE32+) as a file, without running it.

What the build and the tests need from the 32-bit TVN.exe, which cannot run on
these machines: its machine type and the data of one resource.

Usage:
  pe_resource.py info FILE               prints "machine=<i386|amd64|0x..> format=<PE32|PE32+>"
  pe_resource.py extract FILE TYPE NAME OUT
                                         writes the data of resource TYPE/NAME
                                         (numeric ids) to OUT; fails unless
                                         exactly one language carries it

Exit status 0 on success, 1 with a message on stderr for a file that is not a
well-formed executable or has no such resource, 2 for bad arguments.
"""
import struct
import sys

MACHINES = {0x14C: "i386", 0x8664: "amd64"}
RESOURCE_DIRECTORY = 2  # index of the resource table among the data directories


class PeError(Exception):
    """The file is not a well-formed executable, or lacks what was asked for."""


def _unpack(fmt, data, offset, what):
    size = struct.calcsize(fmt)
    if offset < 0 or offset + size > len(data):
        raise PeError("truncated file: %s at offset %d lies beyond its end" % (what, offset))
    return struct.unpack_from(fmt, data, offset)


class PeFile:
    """The headers, sections and resource tree of one executable image held in memory."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise PeError("no MZ header")
        (pe_offset,) = _unpack("<I", data, 0x3C, "e_lfanew")
        if _unpack("<4s", data, pe_offset, "PE signature")[0] != b"PE\0\0":
            raise PeError("no PE signature at offset %d" % pe_offset)
        machine, sections, _, _, _, optional_size, _ = _unpack("<HHIIIHH", data, pe_offset + 4, "file header")
        self.machine = machine
        optional = pe_offset + 24
        (magic,) = _unpack("<H", data, optional, "optional header")
        if magic == 0x10B:
            self.format, directories_at = "PE32", optional + 96
        elif magic == 0x20B:
            self.format, directories_at = "PE32+", optional + 112
        else:
            raise PeError("unknown optional header magic 0x%x" % magic)
        (directory_count,) = _unpack("<I", data, directories_at - 4, "NumberOfRvaAndSizes")
        if directories_at + 8 * min(directory_count, 16) > optional + optional_size:
            raise PeError("data directories overrun the optional header")
        self.resource_rva = 0
        if directory_count > RESOURCE_DIRECTORY:
            self.resource_rva, _ = _unpack("<II", data, directories_at + 8 * RESOURCE_DIRECTORY, "resource directory")
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            _, virtual_size, rva, raw_size, raw_at = _unpack("<8sIIII", data, table + 40 * i, "section header")
            self.sections.append((rva, max(virtual_size, raw_size), raw_size, raw_at))

    def machine_name(self):
        return MACHINES.get(self.machine, "0x%x" % self.machine)

    def offset(self, rva, size):
        """The file offset of `size` bytes at `rva`; PeError unless they lie in one section's file data."""
        for start, extent, raw_size, raw_at in self.sections:
            if start <= rva and rva + size <= start + extent:
                if rva + size > start + raw_size:
                    raise PeError("data at RVA 0x%x is not stored in the file" % rva)
                at = raw_at + (rva - start)
                if at + size > len(self.data):
                    raise PeError("data at RVA 0x%x lies beyond the end of the file" % rva)
                return at
        raise PeError("RVA 0x%x lies in no section" % rva)

    def _directory(self, offset):
        """The entries of one resource directory: a list of (id or name, is_directory, target offset)."""
        base = self.offset(self.resource_rva, 1)
        _, _, _, _, named, numbered = _unpack("<IIHHHH", self.data, base + offset, "resource directory")
        entries = []
        for i in range(named + numbered):
            name, target = _unpack("<II", self.data, base + offset + 16 + 8 * i, "resource directory entry")
            key = name if not name & 0x80000000 else ("name", name & 0x7FFFFFFF)
            entries.append((key, bool(target & 0x80000000), target & 0x7FFFFFFF))
        return entries

    def resource(self, type_id, name_id):
        """The data of every language of resource type_id/name_id, as a list of (language, bytes)."""
        if not self.resource_rva:
            raise PeError("the file has no resources")

        def subdirectory(offset, key, what):
            for entry, is_directory, target in self._directory(offset):
                if entry == key:
                    if not is_directory:
                        raise PeError("malformed resource tree at %s" % what)
                    return target
            raise PeError("no resource %s" % what)

        names = subdirectory(0, type_id, "type %d" % type_id)
        languages = subdirectory(names, name_id, "%d/%d" % (type_id, name_id))
        found = []
        base = self.offset(self.resource_rva, 1)
        for language, is_directory, target in self._directory(languages):
            if is_directory:
                raise PeError("malformed resource tree below %d/%d" % (type_id, name_id))
            rva, size, _, _ = _unpack("<IIII", self.data, base + target, "resource data entry")
            at = self.offset(rva, size) if size else self.offset(rva, 1)
            found.append((language, self.data[at:at + size]))
        return found


def load(path):
    with open(path, "rb") as f:
        return PeFile(f.read())


def main(argv):
    if len(argv) == 3 and argv[1] == "info":
        command = "info"
    elif len(argv) == 6 and argv[1] == "extract" and argv[3].isdigit() and argv[4].isdigit():
        command = "extract"
    else:
        sys.stderr.write(__doc__)
        return 2
    try:
        pe = load(argv[2])
        if command == "info":
            print("machine=%s format=%s" % (pe.machine_name(), pe.format))
            return 0
        found = pe.resource(int(argv[3]), int(argv[4]))
        if len(found) != 1:
            raise PeError("resource %s/%s has %d languages, not one" % (argv[3], argv[4], len(found)))
        with open(argv[5], "wb") as f:
            f.write(found[0][1])
        return 0
    except (OSError, PeError) as e:
        sys.stderr.write("pe_resource.py: %s: %s\n" % (argv[2], e))
        return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
