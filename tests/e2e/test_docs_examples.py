"""The command-line examples of the README and the guides, run as written.

Every fenced block of the documents below names its language; `bat` and
`sh` blocks are examples to type, the others (`text`, `js`) show text.

`bat` blocks are command-prompt examples. Each block runs in a folder of its
own holding copies of the x86_64 TVN.exe and TVN-en.exe (the twins stand in
for the 32-bit files, which cannot run here), line by line, every line
through the command interpreter as a one-line batch file, as a reader would
type it. What each line says it does is then checked:

- `<exe> e "<file>" "<type>" "<id>"`: the file holds that resource of <exe>;
- `<exe> i "<file>" "<target>" "<type>" "<id>"`: the target carries the file;
- `<exe>`, `<exe> a`: the log-on dialog of <exe> opens (then it is closed);
- `<exe> c`: the command dialog of <exe> opens (then it is closed);
- `<exe> t`: the diagnostics log shows three runs that ended well, in Notepad;
- no line of the tool shows a message box;
- `copy A B`: B holds A; `fc /b A B`: A and B are equal (Wine's fc is a stub,
  so the test compares them itself);
- `notepad <file>`: the reader's edit: the test puts the description guide's
  example lines (docs/example_row.js) into the file, on lines of their own
  before `R("1.4#9", 1);`, as the guide tells the reader to;
- `cscript ... <file> d1|d2|f <n>`: the key HKCU\\Software\\TVN\\<n> exists
  after d1 and d2, and key and file are gone after f;
- `reg query <key>`: the key exists.
A line of any other form fails the test: an example nobody checks is not
allowed in.

`sh` blocks are the description guide's examples for people who build the
tool. They run with bash, in document order, each from the top of one
scratch copy of the repository's resources/, docs/ and scripts/ with a
build/win/ of the executables they use; each must end with status 0 (they
end with cmp where they make a file).
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tvn  # noqa: E402

SOURCE = tvn.source_dir()
sys.path.insert(0, os.path.join(SOURCE, "scripts"))
import pe_resource  # noqa: E402

DOCUMENTS = ["README.md", "docs/usage.md", "docs/administration.md", "docs/description.md"]
LANGUAGES = {"bat", "sh", "text", "js"}
EXAMPLE_LINES = os.path.join(SOURCE, "docs", "example_row.js")
EDIT_ANCHOR = b'R("1.4#9", 1);'
LOGON_BUTTON = tvn.ids.IDC_LOGON_LOGON
COMMAND_LIST = tvn.ids.IDC_COMMAND_LIST
STEP_TIMEOUT = 90

FENCE = re.compile(r"^(\s*)```\s*([\w+-]*)\s*$")


class Block:
    def __init__(self, document, line, language, lines):
        self.document = document
        self.line = line
        self.language = language
        self.lines = lines

    def where(self, offset=0):
        return "%s:%d" % (self.document, self.line + offset)


def fenced_blocks(document):
    """The fenced blocks of a document, indented ones (in lists) included."""
    with open(os.path.join(SOURCE, document), encoding="utf-8") as f:
        lines = f.read().split("\n")
    blocks = []
    i = 0
    while i < len(lines):
        match = FENCE.match(lines[i])
        if not match:
            i += 1
            continue
        indent, language = match.group(1), match.group(2)
        start = i + 1
        i += 1
        body = []
        while i < len(lines) and not re.match(r"^\s*```\s*$", lines[i]):
            text = lines[i]
            body.append(text[len(indent):] if text.startswith(indent) else text.lstrip())
            i += 1
        if i == len(lines):
            raise AssertionError("%s:%d: fence not closed" % (document, start))
        blocks.append(Block(document, start, language, body))
        i += 1
    return blocks


def all_blocks(language=None):
    return [b for d in DOCUMENTS for b in fenced_blocks(d) if language is None or b.language == language]


# --------------------------------------------------------------------------
# The tool's own reading of a command line


def parse_tool_tail(tail):
    """Mode letters outside quotes and quoted arguments, as TVN.exe reads them."""
    ui, tool, args = "logon", None, []
    inside, current = False, ""
    for ch in tail:
        if ch == '"':
            if inside:
                args.append(current)
            current = ""
            inside = not inside
        elif inside:
            current += ch
        else:
            ui = {"a": "logon", "c": "commands", "t": "diagnostics"}.get(ch, ui)
            tool = {"e": "extract", "i": "update"}.get(ch, tool)
    if inside:
        args.append(current)
    return ui, tool, args


def unquote(word):
    return word[1:-1] if len(word) >= 2 and word[0] == word[-1] == '"' else word


WORD = r'("[^"]*"|[^\s"]+)'
STEP_FORMS = [
    ("copy", re.compile(r"^copy\s+" + WORD + r"\s+" + WORD + r"$", re.I)),
    ("fc", re.compile(r"^fc\s+/b\s+" + WORD + r"\s+" + WORD + r"$", re.I)),
    ("notepad", re.compile(r"^notepad(?:\.exe)?\s+" + WORD + r"$", re.I)),
    ("cscript", re.compile(r"^cscript(?:\s+/nologo)?(?:\s+/e:javascript)?\s+" + WORD +
                           r"\s+(d1|d2|f)\s+(\d+)$", re.I)),
    ("reg-query", re.compile(r"^reg\s+query\s+(HKCU\\Software\\TVN\\\d+)$", re.I)),
    ("tool", re.compile(r'^([\w.-]+\.exe)(\s.*)?$', re.I)),
]


def parse_step(line):
    """(kind, details) of one prompt line, or None for a form nobody checks."""
    for kind, form in STEP_FORMS:
        match = form.match(line.strip())
        if not match:
            continue
        if kind == "tool":
            tail = match.group(2) or ""
            ui, tool, args = parse_tool_tail(tail)
            if tool is not None:
                needed = 3 if tool == "extract" else 4
                if len(args) != needed or not all(a.isdigit() for a in args[-2:]):
                    return None
            elif args:
                return None
            letters = re.sub(r'"[^"]*"', "", tail).strip()
            return kind, {"exe": match.group(1), "ui": ui, "tool": tool, "args": args, "letters": letters}
        return kind, [unquote(g) for g in match.groups()]
    return None


def resource_of(path, type_id, name_id):
    found = pe_resource.load(path).resource(type_id, name_id)
    if len(found) != 1:
        raise AssertionError("%s carries resource %d/%d in %d languages" % (path, type_id, name_id, len(found)))
    return found[0][1]


def read(path):
    with open(path, "rb") as f:
        return f.read()


def example_edit():
    """The example lines as the reader types them into the script: CR LF line ends."""
    with open(EXAMPLE_LINES, encoding="utf-8") as f:
        text = f.read().strip("\n")
    return text.replace("\n", "\r\n").encode("cp1251")


def anchor_of(heading):
    """The anchor a Markdown renderer gives a heading (GitHub's rule)."""
    text = heading.strip().lower()
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


class DocumentsTest(unittest.TestCase):
    """What can be checked without Wine: every example is marked and of a checked form."""

    def test_every_fence_names_a_known_language(self):
        for document in DOCUMENTS:
            for block in fenced_blocks(document):
                self.assertIn(block.language, LANGUAGES,
                              "%s: a fence without a known language (%r)" % (block.where(), block.language))

    def test_every_prompt_line_is_one_the_runner_checks(self):
        blocks = all_blocks("bat")
        self.assertGreater(len(blocks), 5)
        for block in blocks:
            self.assertTrue(block.lines, block.where())
            for n, line in enumerate(block.lines, start=1):
                self.assertIsNotNone(parse_step(line), "%s: no check knows the line %r" % (block.where(n), line))

    def test_the_readme_shows_every_mode(self):
        modes = set()
        for block in fenced_blocks("README.md"):
            self.assertEqual(block.language, "bat", block.where())
            for line in block.lines:
                kind, step = parse_step(line)
                if kind == "tool":
                    modes.add(step["letters"] or "none")
        self.assertEqual(modes, {"none", "a", "c", "t", "e", "i"})

    def test_links_and_anchors_resolve(self):
        for document in DOCUMENTS + ["CHANGELOG.md", "docs/development.md"]:
            path = os.path.join(SOURCE, document)
            with open(path, encoding="utf-8") as f:
                text = f.read()
            for target in re.findall(r"\]\(([^)\s]+)\)", text):
                if re.match(r"^[a-z]+:", target):
                    continue
                file_part, _, anchor = target.partition("#")
                linked = os.path.normpath(os.path.join(os.path.dirname(path), file_part)) if file_part else path
                self.assertTrue(os.path.exists(linked), "%s: link to a missing %s" % (document, target))
                if anchor:
                    with open(linked, encoding="utf-8") as f:
                        headings = [anchor_of(h) for h in re.findall(r"^#+\s+(.*)$", f.read(), re.M)]
                    self.assertIn(anchor, headings, "%s: link to a missing heading %s" % (document, target))

    def test_the_guides_recipe_types_the_example_lines(self):
        with open(EXAMPLE_LINES, encoding="utf-8") as f:
            code = [line.strip() for line in f if line.strip() and not line.strip().startswith("//")]
        recipes = [b for b in fenced_blocks("docs/description.md") if b.language == "js" and
                   [line.strip() for line in b.lines if line.strip()] == code]
        self.assertGreaterEqual(len(recipes), 2, "the guide shows docs/example_row.js in the recipe and the example")


class ExamplesRunTest(tvn.TvnTestCase):
    """Every `bat` example under Wine, and the build-side `sh` examples."""

    def setUp(self):
        super().setUp()
        self.images = {"notepad.exe"}
        self.keys = set()
        self.scratch = tempfile.mkdtemp(prefix="docs-examples-", dir=tvn.build_dir())
        # Wine closes the virtual desktop once no program uses it, and the
        # next program that needs it starts it again, handing its own output
        # pipes on to it: a tool whose output the test reads would then seem
        # never to end. Between the steps no program of the examples runs,
        # so one that waits on the desktop, its output going nowhere, keeps
        # it open for the whole test.
        self.keeper = tvn.wine_start([tvn.exe("tvn_inspect.exe"), "--title", "no window has this title",
                                         "--wait", "3600000"])

    def tearDown(self):
        self.keeper.kill()
        self.keeper.wait(timeout=30)
        for image in sorted(self.images):
            tvn.kill_image(image)
        for key in self.keys:
            if tvn.key_exists(key):
                tvn.reg_delete(key)
        shutil.rmtree(self.scratch, ignore_errors=True)
        super().tearDown()

    # -- running one prompt line

    def batch(self, line):
        path = os.path.join(self.scratch, "step.bat")
        with open(path, "wb") as f:
            f.write(line.encode("cp1251") + b"\r\n")
        return tvn.winpath(path)

    def run_line(self, folder, line):
        result = tvn.wine(["cmd", "/c", self.batch(line)], cwd=folder, timeout=STEP_TIMEOUT)
        return result.returncode, tvn.decode_console(result.stdout + result.stderr)

    def boxes(self, image):
        return [w for w in tvn.inspect("--class", "#32770")["windows"]
                if w.get("title") == "Tolvane" and (w.get("exe") or "").lower() == image.lower()]

    def run_until_end(self, image, line, folder):
        """Runs a line of a maintenance mode; its exit code, or a failure with the box it showed."""
        proc = tvn.wine_start(["cmd", "/c", self.batch(line)], cwd=folder)
        try:
            def ended():
                if proc.poll() is not None:
                    return True
                boxes = self.boxes(image)
                if boxes:
                    raise AssertionError("%s showed a message box: %s" % (line, tvn.box_text(boxes[0])))
                return False
            tvn.wait_until(ended, STEP_TIMEOUT, 0.5)
            self.assertIsNotNone(proc.poll(), "%s did not end" % line)
            return proc.returncode
        finally:
            if proc.poll() is None:
                tvn.kill_image(image)
                proc.kill()
                proc.wait(timeout=30)

    def dialog_of(self, image, control_id, timeout=60):
        def found():
            for window in tvn.inspect("--class", "#32770")["windows"]:
                if (window.get("exe") or "").lower() != image.lower():
                    continue
                if window.get("title") == "Tolvane":
                    raise AssertionError("%s shows a message box: %s" % (image, tvn.box_text(window)))
                if any(c.get("id") == control_id for c in window.get("controls", [])):
                    return window
            return None
        return tvn.wait_until(found, timeout, 0.3)

    def run_tool(self, where, folder, line, step):
        exe = step["exe"]
        image = os.path.basename(exe)
        self.images.add(image)
        self.assertTrue(os.path.isfile(os.path.join(folder, exe)), "%s: %s is not in the folder" % (where, exe))
        args = step["args"]
        if step["tool"] is not None:
            self.assertEqual(self.run_until_end(image, line, folder), 0, "%s: %s" % (where, line))
            if step["tool"] == "extract":
                written = read(os.path.join(folder, args[0]))
                self.assertEqual(written, resource_of(os.path.join(folder, exe), int(args[1]), int(args[2])),
                                 "%s: %s did not write the resource" % (where, line))
            else:
                carried = resource_of(os.path.join(folder, args[1]), int(args[2]), int(args[3]))
                self.assertEqual(carried, read(os.path.join(folder, args[0])),
                                 "%s: %s did not put the file in" % (where, line))
            return

        log = os.path.join(tvn.temp_dir_unix(), "TVN_diag.log")
        if step["ui"] == "diagnostics" and os.path.exists(log):
            os.unlink(log)
        proc = tvn.wine_start(["cmd", "/c", self.batch(line)], cwd=folder)
        try:
            if step["ui"] == "diagnostics":
                self.check_diagnostics(where, line, log)
            else:
                control_id = LOGON_BUTTON if step["ui"] == "logon" else COMMAND_LIST
                dialog = self.dialog_of(image, control_id)
                self.assertIsNotNone(dialog, "%s: %s opened no %s dialog" % (where, line, step["ui"]))
                self.assertTrue(dialog["title"].startswith("TVN3: "), dialog["title"])
                tvn.inspect("--hwnd", dialog["hwnd"], "--close")
            self.assertEqual(tvn.wait_exit(proc, timeout=STEP_TIMEOUT), 0, "%s: %s" % (where, line))
            self.assertEqual(self.boxes(image), [], "%s: %s showed a message box" % (where, line))
        finally:
            if proc.poll() is None:
                tvn.kill_image(image)
                proc.kill()
                proc.wait(timeout=30)

    def check_diagnostics(self, where, line, log):
        notepad = tvn.wait_window(title="TVN_diag", timeout=STEP_TIMEOUT)
        self.assertIsNotNone(notepad, "%s: %s showed no log in Notepad" % (where, line))
        self.assertEqual(notepad["exe"].lower(), "notepad.exe")
        self.assertTrue(os.path.exists(log), "%s: %s wrote no %s" % (where, line, log))
        with open(log, "rb") as f:
            text = f.read().decode("cp866", "replace")  # the script host writes the OEM code page
        self.assertNotIn("ERROR", text, "%s: %s\n%s" % (where, line, text))
        for start in ("AuthDlg...", "CmdDlg...", "Clear..."):
            self.assertRegex(text, re.escape(start) + r"\s*\r\n DONE", "%s: %s\n%s" % (where, line, text))
        tvn.kill_image("notepad.exe")

    def run_step(self, where, folder, line):
        kind, step = parse_step(line)
        if kind == "tool":
            self.run_tool(where, folder, line, step)
        elif kind == "notepad":
            path = os.path.join(folder, step[0])
            data = read(path)
            self.assertEqual(data.count(EDIT_ANCHOR), 1, "%s: no single %r to edit before" % (where, EDIT_ANCHOR))
            with open(path, "wb") as f:
                f.write(data.replace(EDIT_ANCHOR, b"\r\n" + example_edit() + b"\r\n" + EDIT_ANCHOR))
        elif kind == "fc":
            self.assertEqual(read(os.path.join(folder, step[0])), read(os.path.join(folder, step[1])),
                             "%s: %s: the files differ" % (where, line))
        else:
            status, output = self.run_line(folder, line)
            self.assertEqual(status, 0, "%s: %s\n%s" % (where, line, output))
            if kind == "copy":
                self.assertEqual(read(os.path.join(folder, step[1])), read(os.path.join(folder, step[0])), where)
            elif kind == "cscript":
                key = r"HKCU\Software\TVN\%s" % step[2]
                self.keys.add(key)
                if step[1].lower() == "f":
                    self.assertFalse(tvn.key_exists(key), "%s: %s left the key" % (where, line))
                    self.assertFalse(os.path.exists(os.path.join(folder, step[0])), "%s: the script stays" % where)
                else:
                    self.assertTrue(tvn.key_exists(key), "%s: %s wrote no key" % (where, line))
            elif kind == "reg-query":
                self.assertIn(step[0].split("\\")[-1], output, "%s: %s\n%s" % (where, line, output))

    def test_prompt_examples_do_what_the_documents_say(self):
        blocks = all_blocks("bat")
        for block in blocks:
            with self.subTest(example=block.where()):
                folder = os.path.join(self.scratch, "example %d" % block.line)
                os.makedirs(folder)
                for name in ("TVN.exe", "TVN-en.exe"):
                    shutil.copyfile(tvn.exe(name), os.path.join(folder, name))
                for n, line in enumerate(block.lines, start=1):
                    self.run_step(block.where(n), folder, line)
                for image in sorted(self.images):
                    tvn.kill_image(image)

    def test_build_side_examples_run(self):
        blocks = all_blocks("sh")
        self.assertTrue(blocks)
        for name in ("resources", "docs", "scripts"):
            shutil.copytree(os.path.join(SOURCE, name), os.path.join(self.scratch, name))
        win = os.path.join(self.scratch, "build", "win")
        os.makedirs(os.path.join(win, "resources"))
        for name in ("TVN.exe", "TVN-en.exe", "tvn_spawn.exe"):
            shutil.copyfile(tvn.exe(name), os.path.join(win, name))
        shutil.copyfile(os.path.join(tvn.build_dir(), "resources", "description_en.script"),
                        os.path.join(win, "resources", "description_en.script"))
        self.images.update({"TVN-copy.exe", "TVN-notepad.exe"})
        for block in blocks:
            script = "\n".join(block.lines) + "\n"
            try:
                result = subprocess.run(["bash", "-e", "-o", "pipefail", "-c", script], cwd=self.scratch,
                                        stdin=subprocess.DEVNULL, capture_output=True, timeout=300)
            except subprocess.TimeoutExpired as e:
                boxes = [tvn.box_text(w) for w in tvn.inspect("--class", "#32770")["windows"]
                         if w.get("title") == "Tolvane"]
                raise AssertionError("%s did not end: %s" % (block.where(), boxes)) from e
            self.assertEqual(result.returncode, 0, "%s:\n%s\n%s" % (
                block.where(), script, (result.stdout + result.stderr).decode("utf-8", "replace")))


if __name__ == "__main__":
    tvn.main()
