"""TVN.exe's resource tool modes under Wine: `e` writes a resource of the
executable to a file, `i` puts a file into another copy as a resource; failures
show fatal message 5 or 9 with the platform's code and leave the target as it
was. Every run ends with exit code 0."""

import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tvn  # noqa: E402

ARGUMENT_CHARS = 1024  # what one quoted argument of the command line holds


def read(path):
    with open(path, "rb") as f:
        return f.read()


class ResourceToolTest(tvn.TvnTestCase):
    def setUp(self):
        super().setUp()
        # A folder with a blank in its name, inside the build tree (drive Z:).
        self.folder = tempfile.mkdtemp(prefix="resource tool ", dir=tvn.build_dir())
        self.addCleanup(shutil.rmtree, self.folder, True)
        self.script = read(os.path.join(tvn.build_dir(), "resources", "description.script"))

    def path(self, name):
        return os.path.join(self.folder, name)

    def run_quietly(self, program, tail):
        """Runs a mode that must succeed: no box appears and the run ends with 0."""
        run = tvn.Spawn(tail, program=program)
        self.assertEqual(run.exit_code(timeout=60), 0)
        self.assertIsNone(tvn.wait_box(timeout=1),
                          "a successful run shows no box")

    def run_until_box(self, program, tail):
        """Runs a mode that must fail: returns the text of its "Tolvane" box after pressing OK."""
        run = tvn.Spawn(tail, program=program)
        box = tvn.wait_box(pid=run.pid, timeout=30)
        self.assertIsNotNone(box, "no message box titled Tolvane appeared")
        text = tvn.box_text(box)
        ok = tvn.control(box, 1)
        tvn.inspect("--hwnd", box["hwnd"], "--click", 1)  # OK, whatever may lie above it
        self.assertEqual(run.exit_code(timeout=30), 0)
        return text

    def copy_of_tvn(self):
        copy = self.path("TVN copy.exe")
        shutil.copyfile(tvn.exe("TVN.exe"), copy)
        return copy

    def test_extract_writes_the_script_byte_for_byte(self):
        out = self.path("script out.js")
        with open(out, "wb") as f:
            f.write(b"x" * 300000)  # an existing longer file is replaced whole
        self.run_quietly(tvn.exe("TVN.exe"), ' e "%s" "10" "750"' % tvn.winpath(out))
        self.assertEqual(read(out), self.script)

    def test_extract_of_a_missing_resource_shows_message_5(self):
        out = self.path("none.bin")
        text = self.run_until_box(tvn.exe("TVN.exe"), ' e "%s" "10" "751"' % tvn.winpath(out))
        self.assertTrue(text.startswith("FATAL ERROR: Extract script!\r\nError (1814): "), text)
        self.assertGreater(len(text), len("FATAL ERROR: Extract script!\r\nError (1814): "),
                           "the system's text follows the code")

    def test_update_round_trip_through_a_copy(self):
        copy = self.copy_of_tvn()
        data = self.path("edited script.js")
        edited = self.script + b"\r\n// edited\r\n" + bytes(range(256)) * 40
        with open(data, "wb") as f:
            f.write(edited)
        self.run_quietly(tvn.exe("TVN.exe"), ' i "%s" "%s" "10" "750"' % (tvn.winpath(data),
                                                                              tvn.winpath(copy)))
        back = self.path("back.js")
        # The copy extracts its own, new script; the original keeps the old one.
        self.run_quietly(copy, ' e "%s" "10" "750"' % tvn.winpath(back))
        self.assertEqual(read(back), edited)
        original = self.path("original.js")
        self.run_quietly(tvn.exe("TVN.exe"), ' e "%s" "10" "750"' % tvn.winpath(original))
        self.assertEqual(read(original), self.script)

    def test_update_failures_show_message_9_and_keep_the_executable(self):
        copy = self.copy_of_tvn()
        before = read(copy)
        cases = [
            ("missing data file", self.path("no such.js"), copy, "Error (2): "),
            ("missing executable", None, self.path("no such.exe"), "Error (2): "),
            ("empty data file", self.path("empty.js"), copy, "Error (13): "),
            # The system's text holds an insert ("%1 is not a valid Win32
            # application." on Windows), which is shown as it stands.
            ("not an executable", None, self.path("text.exe"), "Error (193): "),
        ]
        with open(self.path("empty.js"), "wb"):
            pass
        with open(self.path("text.exe"), "wb") as f:
            f.write(b"no executable\r\n")
        data = self.path("data.js")
        with open(data, "wb") as f:
            f.write(b"var x = 1;\r\n")
        for name, source, target, code in cases:
            with self.subTest(name):
                tail = ' i "%s" "%s" "10" "750"' % (tvn.winpath(source or data), tvn.winpath(target))
                text = self.run_until_box(tvn.exe("TVN.exe"), tail)
                self.assertTrue(text.startswith("FATAL ERROR: Update resource!\r\n" + code), text)
                if "193" in code:
                    self.assertRegex(text, r"\(193\): \S[^\r\n]*%1", "the system's text is missing")
                self.assertEqual(read(copy), before)
        self.assertFalse(os.path.exists(self.path("no such.exe")))

    def test_an_output_path_longer_than_its_buffer_is_refused_not_cut(self):
        # A path whose first 1024 characters name another, writable file: the
        # "a\.." steps collapse, so the cut text would be the folder and
        # "out" followed by some of the x's.
        folder = tvn.winpath(self.folder) + "\\"
        steps = ARGUMENT_CHARS - len(folder) - 80
        path = folder + "a\\..\\" * (steps // 5) + "out"
        path += "x" * (ARGUMENT_CHARS + 30 - len(path))
        text = self.run_until_box(tvn.exe("TVN.exe"), ' e "%s" "10" "750"' % path)
        self.assertTrue(text.startswith("FATAL ERROR: Extract script!\r\nError (206): "), text)
        self.assertEqual(os.listdir(self.folder), [], "nothing is written, at no path")

    def test_a_data_file_above_16_mib_is_refused_and_the_executable_kept(self):
        copy = self.copy_of_tvn()
        before = read(copy)
        data = self.path("huge.js")
        with open(data, "wb") as f:
            f.truncate(16 * 1024 * 1024 + 1)
        tail = ' i "%s" "%s" "10" "750"' % (tvn.winpath(data), tvn.winpath(copy))
        text = self.run_until_box(tvn.exe("TVN.exe"), tail)
        self.assertTrue(text.startswith("FATAL ERROR: Update resource!\r\nError (223): "), text)
        self.assertEqual(read(copy), before)

    def test_a_failed_extract_leaves_the_existing_file_as_it_was(self):
        out = self.path("kept.js")
        before = b"an earlier file\r\n" + bytes(range(256))
        with open(out, "wb") as f:
            f.write(before)
        # Read-only: it cannot be replaced. And a resource that does not exist.
        tvn.wine(["cmd", "/c", "attrib", "+r", tvn.winpath(out)], check=True)
        self.addCleanup(tvn.wine, ["cmd", "/c", "attrib", "-r", tvn.winpath(out)])
        for tail, code in ((' e "%s" "10" "750"', 5), (' e "%s" "10" "751"', 1814)):
            with self.subTest(tail=tail):
                text = self.run_until_box(tvn.exe("TVN.exe"), tail % tvn.winpath(out))
                self.assertTrue(text.startswith("FATAL ERROR: Extract script!\r\nError (%d): " % code), text)
                self.assertEqual(read(out), before, "the existing file must stay byte for byte as it was")
                self.assertEqual(os.listdir(self.folder), ["kept.js"], "no temporary file is left behind")


if __name__ == "__main__":
    tvn.main()
