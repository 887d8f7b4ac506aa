"""scripts/pack_script.py: the stored form, the merge of a texts table into the
one description script, and what the packer refuses. Standard library only;
run directly or through CTest (native.pack_script)."""

import os
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PACKER = os.path.join(ROOT, "scripts", "pack_script.py")
SCRIPT = os.path.join(ROOT, "resources", "description.js")
TABLES = {language: os.path.join(ROOT, "resources", "texts", language + ".txt") for language in ("ru", "en")}
HEADER = b"// TVN SCRIPT(compress)\r\n// BINARY VERSION >= 3.1.1.4\r\n"

sys.path.insert(0, os.path.join(ROOT, "scripts"))
import pack_script  # noqa: E402


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def program(body):
    """The program line of a stored script, as text."""
    assert body.startswith(HEADER), body[:60]
    return body[len(HEADER):].decode("cp1251")


class RealScriptTest(unittest.TestCase):
    def test_each_table_packs_with_the_script_and_leads_it(self):
        for language, table in TABLES.items():
            with self.subTest(language=language):
                code = program(pack_script.pack(read(SCRIPT), read(table), SCRIPT, table))
                self.assertNotIn("\n", code)
                self.assertNotIn("\r", code)
                first, _, rest = code.partition(" }; ")
                self.assertTrue(first.startswith("var vText = { osPrefix: "), first[:60])
                # Every text of the table is in the first statement, and the
                # rest of the program reads them from there.
                for name, text, _ in pack_script.read_table(read(table), table):
                    self.assertIn('%s: "%s"' % (name, text.replace('"', '\\"')), first)
                    self.assertIn("vText.%s" % name, rest)
                self.assertEqual(any("\u0400" <= ch <= "\u04ff" for ch in code), language == "ru")
                self.assertNotIn('"Войти"', rest)


class MergeTest(unittest.TestCase):
    SOURCE = "// texts\nvar t = @texts;\nR(t.a);\nR(t .b, t.a);\n"

    def test_texts_become_one_object_literal_in_table_order(self):
        table = '# comment\n\nb = "Б \\"в\\" \\\\ г"\r\na="x"\n'
        self.assertEqual(program(pack_script.pack(self.SOURCE, table)),
                         'var t = { b: "Б \\"в\\" \\\\ г", a: "x" }; R(t.a); R(t .b, t.a);')

    def test_without_a_table_a_source_without_the_marker_packs_as_before(self):
        self.assertEqual(program(pack_script.pack("var t = { a: \"x\" };\nR(t.a);\n")),
                         'var t = { a: "x" }; R(t.a);')

    def test_refused_tables_and_markers(self):
        cases = [
            # (source, table, part of the message)
            (self.SOURCE, 'a = "x"\n', "t.b is not in texts"),
            (self.SOURCE, 'a = "x"\nb = "y"\nc = "z"\n', "line 3: 'c' is not used"),
            (self.SOURCE, 'a = "x"\nb = "y"\na = "z"\n', "line 3: 'a' already given in line 1"),
            ("var t = @texts;\nR(t.a);\n", 'a = "x"\nnew = "y"\n', "'new' is a reserved word"),
            (self.SOURCE, 'a: "x"\nb = "y"\n', "line 1: expected name = \"text\""),
            (self.SOURCE, 'a = x\nb = "y"\n', "line 1: expected name = \"text\""),
            (self.SOURCE, 'a = "x" y\nb = "y"\n', "something after the text"),
            (self.SOURCE, 'a = "x\nb = "y"\n', "line 1: text not closed"),
            (self.SOURCE, 'a = "x\\n"\nb = "y"\n', "only \\\" and \\\\ are escapes"),
            (self.SOURCE, 'a = "Step #1"\nb = "y"\n', "'a' holds '#'"),
            (self.SOURCE, 'a = "tab\there"\nb = "y"\n', "control character U+0009"),
            (self.SOURCE, 'a = "x"\nb = "日本"\n', "line 2: character U+65E5"),
            ("var t = @texts;\n", None, "give --texts"),
            ("var t = {};\n", 'a = "x"\n', "no line 'var <table> = @texts;'"),
            ("var t = @texts;\nvar u = @texts;\nR(t.a);\n", 'a = "x"\n', "line 2: a second '@texts' line"),
            ("var t = @texts;\nR(@texts);\nR(t.a);\n", 'a = "x"\n', "line 2: '@texts' stands only in one line"),
        ]
        for source, table, message in cases:
            with self.subTest(source=source, table=table):
                with self.assertRaises(pack_script.PackError) as caught:
                    pack_script.pack(source, table)
                self.assertIn(message, str(caught.exception))

    def test_the_rules_for_joining_lines_still_hold_with_a_table(self):
        table = 'a = "x"\n'
        cases = [
            ("var t = @texts;\nR(t.a); // note\n", "'//' comment after code"),
            ("var t = @texts;\nvar v = t.a\nR(v);\n", "line 2: statement ends without ';'"),
            ("var t = @texts;\nfunction f() {\nreturn\nt.a;\n}\n", "line 3: ends with 'return'"),
            ("var t = @texts;\nR(t.a + \"open);\n", "string literal not closed"),
            ("var t = @texts;\nR(t.a, \"日\");\n", "line 2: character U+65E5"),
        ]
        for source, message in cases:
            with self.subTest(source=source):
                with self.assertRaises(pack_script.PackError) as caught:
                    pack_script.pack(source, table)
                self.assertIn(message, str(caught.exception))

    def test_uses_inside_strings_and_comments_do_not_count(self):
        source = "var t = @texts;\n// t.b is not a use\nR(t.a, \"t.b\");\n"
        with self.assertRaises(pack_script.PackError) as caught:
            pack_script.pack(source, 'a = "x"\nb = "y"\n')
        self.assertIn("'b' is not used", str(caught.exception))


class CommandLineTest(unittest.TestCase):
    def run_packer(self, *args):
        return subprocess.run([sys.executable, PACKER] + list(args), capture_output=True, text=True, timeout=60)

    def test_writes_the_stored_script_or_fails_with_the_place(self):
        with tempfile.TemporaryDirectory() as folder:
            output = os.path.join(folder, "out.script")
            result = self.run_packer("--texts", TABLES["en"], SCRIPT, output)
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(output, "rb") as f:
                self.assertTrue(f.read().startswith(HEADER + b"var vText = { "))

            bad_table = os.path.join(folder, "bad.txt")
            with open(bad_table, "w", encoding="utf-8") as f:
                f.write(read(TABLES["en"]) + 'unused = "x"\n')
            missing = os.path.join(folder, "missing.script")
            result = self.run_packer("--texts", bad_table, SCRIPT, missing)
            self.assertEqual(result.returncode, 1)
            self.assertRegex(result.stderr, r"^pack_script: .*bad\.txt: line \d+: 'unused' is not used")
            self.assertFalse(os.path.exists(missing), "a refused script must not be written")

            result = self.run_packer(SCRIPT, missing)
            self.assertEqual(result.returncode, 1)
            self.assertIn("give --texts TABLE", result.stderr)
            result = self.run_packer("--texts", os.path.join(folder, "absent.txt"), SCRIPT, missing)
            self.assertEqual(result.returncode, 1)
            self.assertFalse(os.path.exists(missing))


if __name__ == "__main__":
    unittest.main()
