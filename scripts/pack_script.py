#!/usr/bin/env python3
"""Packs the readable description script into its stored form.

Stored form: code page 1251 bytes; the two header lines
"// TVN SCRIPT(compress)" and "// BINARY VERSION >= 3.1.1.4", each ended by
CR LF; then the whole program on one line, with no line break and no
terminating zero.

Whole-line // comments and blank lines are dropped and the remaining lines are
joined with one blank. The packer refuses (exit code 1, message on stderr)
a source that would change meaning or break when joined:
  - a // or /* comment after code on a line, or any /* comment;
  - a string or regular expression literal left open at the end of a line;
  - a line that ends with return, break, continue or throw, or starts with
    ++ or -- (automatic semicolon insertion decides those at the line break);
  - a line that ends with a value (name, number, string, ")" or "]") while
    the next line begins with something that cannot continue it, so that
    only the line break separated the two statements;
  - a character that code page 1251 cannot encode, or a NUL.

Texts table (--texts TABLE): the source then holds exactly one line
"var <table> = @texts;", and "@texts" becomes an object literal of the
table's texts, { name: "text", ... }, in the order of the table. The table is
a UTF-8 file with one text a line, name = "text": the name a script
identifier, the text in double quotes with \\" for a quotation mark and \\\\
for a backslash; blank lines and lines that begin with # are skipped. Refused
as well:
  - a table line of another form, a name given twice, a name that is a
    reserved word of the script language;
  - a text holding "#" (the description cuts every value there) or a
    control character;
  - a name that the source uses as <table>.<name> but the table lacks, and a
    name of the table that the source never uses;
  - "@texts" without --texts, --texts without the "@texts" line, and
    "@texts" anywhere but in that one line.

Usage: pack_script.py [--texts TABLE] SOURCE.js OUTPUT
"""
import argparse
import re
import sys
import unicodedata

HEADER = "// TVN SCRIPT(compress)\r\n// BINARY VERSION >= 3.1.1.4\r\n"

# After one of these characters a "/" starts a regular expression literal.
REGEX_PRECEDERS = set("(,=:[!&|?{};+-*%<>~^")
# Statements whose operand ends at a line break.
RESTRICTED = ("return", "break", "continue", "throw")
# A following line may begin with these when the previous one ends with a value.
CONTINUATIONS = ("}", ")", "]", ".", ",", ";", "?", ":", "+", "-", "*", "/", "%",
                 "=", "<", ">", "&", "|", "^", "!=", "(", "[")

TEXTS_MARKER = "@texts"
IDENTIFIER = r"[A-Za-z_$][A-Za-z0-9_$]*"
MARKER_LINE = re.compile(r"^\s*var\s+(" + IDENTIFIER + r")\s*=\s*" + TEXTS_MARKER + r"\s*;\s*$")
TABLE_LINE = re.compile(r"^(" + IDENTIFIER + r")\s*=\s*\"(.*)$")
# Words that JScript (ECMAScript 3) does not take as a property name after "."
# or in an object literal.
RESERVED = frozenset("""
    abstract boolean break byte case catch char class const continue debugger default delete do
    double else enum export extends false final finally float for function goto if implements
    import in instanceof int interface long native new null package private protected public
    return short static super switch synchronized this throw throws transient true try typeof
    var void volatile while with""".split())


class PackError(Exception):
    pass


def scan_line(line, number, where):
    """Returns the line's code with every literal's body removed; raises on comments after code
    and on literals left open."""
    i = 0
    n = len(line)
    last_significant = ""
    outside = []
    while i < n:
        ch = line[i]
        if ch in "\"'":
            j = i + 1
            while j < n and line[j] != ch:
                j += 2 if line[j] == "\\" else 1
            if j >= n:
                raise PackError(f"{where}: line {number}: string literal not closed on its line")
            outside.append(ch + ch)
            i = j + 1
            last_significant = ch
            continue
        if ch == "/":
            nxt = line[i + 1] if i + 1 < n else ""
            if nxt == "/":
                raise PackError(f"{where}: line {number}: '//' comment after code (would swallow the rest when joined)")
            if nxt == "*":
                raise PackError(f"{where}: line {number}: '/*' comments are not allowed; use whole '//' lines")
            if last_significant == "" or last_significant in REGEX_PRECEDERS:
                j = i + 1
                in_class = False
                while j < n and (in_class or line[j] != "/"):
                    if line[j] == "\\":
                        j += 1
                    elif line[j] == "[":
                        in_class = True
                    elif line[j] == "]":
                        in_class = False
                    j += 1
                if j >= n:
                    raise PackError(f"{where}: line {number}: regular expression literal not closed on its line")
                outside.append("//")
                i = j + 1
                last_significant = "/"
                continue
        outside.append(ch)
        if not ch.isspace():
            last_significant = ch
        i += 1
    return "".join(outside)


def ends_with_value(code):
    if code.endswith(("++", "--")):
        return True
    last = code[-1]
    return last.isalnum() or last in "_$\"')]"


def unquote_text(rest, number, where):
    """The text of a table line from just after its opening quotation mark."""
    text = []
    i = 0
    while i < len(rest):
        ch = rest[i]
        if ch == "\\":
            nxt = rest[i + 1] if i + 1 < len(rest) else ""
            if nxt not in ("\"", "\\"):
                raise PackError(f"{where}: line {number}: only \\\" and \\\\ are escapes in a text")
            text.append(nxt)
            i += 2
            continue
        if ch == "\"":
            if rest[i + 1:].strip():
                raise PackError(f"{where}: line {number}: something after the text's closing quotation mark")
            return "".join(text)
        text.append(ch)
        i += 1
    raise PackError(f"{where}: line {number}: text not closed with a quotation mark")


def read_table(table_text, where):
    """The table's texts as (name, text, line number) in file order."""
    entries = []
    seen = {}
    for number, line in enumerate(table_text.split("\n"), start=1):
        line = line.rstrip("\r")
        stripped = line.strip()
        if not stripped or stripped.startswith("#"):
            continue
        match = TABLE_LINE.match(stripped)
        if not match:
            raise PackError(f"{where}: line {number}: expected name = \"text\"")
        name = match.group(1)
        if name in RESERVED:
            raise PackError(f"{where}: line {number}: '{name}' is a reserved word and cannot name a text")
        if name in seen:
            raise PackError(f"{where}: line {number}: '{name}' already given in line {seen[name]}")
        seen[name] = number
        text = unquote_text(match.group(2), number, where)
        for ch in text:
            if ch == "#":
                raise PackError(f"{where}: line {number}: '{name}' holds '#', where the description would cut it")
            if unicodedata.category(ch) in ("Cc", "Zl", "Zp"):
                raise PackError(f"{where}: line {number}: '{name}' holds the control character U+{ord(ch):04X}")
            try:
                ch.encode("cp1251")
            except UnicodeEncodeError:
                raise PackError(f"{where}: line {number}: character U+{ord(ch):04X} '{ch}' of '{name}' "
                                "has no code page 1251 form")
        entries.append((name, text, number))
    return entries


def table_literal(entries):
    """The table as a script object literal on one line."""
    items = []
    for name, text, _ in entries:
        items.append(name + ": \"" + text.replace("\\", "\\\\").replace("\"", "\\\"") + "\"")
    return "{ " + ", ".join(items) + " }" if items else "{}"


def pack(source_text, table_text=None, source_name="source", table_name="texts"):
    entries = read_table(table_text, table_name) if table_text is not None else None
    table_var = None
    lines = []  # (source line number, code)
    used = {}   # name of the table -> first source line that uses it
    outside_by_line = []
    for number, line in enumerate(source_text.split("\n"), start=1):
        line = line.rstrip("\r")
        if "\0" in line:
            raise PackError(f"{source_name}: line {number}: NUL character")
        if "\r" in line:
            raise PackError(f"{source_name}: line {number}: stray carriage return")
        stripped = line.strip()
        if not stripped or stripped.startswith("//"):
            continue
        marker = MARKER_LINE.match(line)
        if marker:
            if table_var is not None:
                raise PackError(f"{source_name}: line {number}: a second '{TEXTS_MARKER}' line")
            if entries is None:
                raise PackError(f"{source_name}: line {number}: the source takes a texts table; give --texts TABLE")
            table_var = marker.group(1)
            line = line.replace(TEXTS_MARKER, table_literal(entries))
        outside = scan_line(line, number, source_name)
        if TEXTS_MARKER in outside:
            raise PackError(f"{source_name}: line {number}: '{TEXTS_MARKER}' stands only in one line "
                            f"'var <table> = {TEXTS_MARKER};'")
        code = line.strip()
        if code.startswith(("++", "--")):
            raise PackError(f"{source_name}: line {number}: starts with '{code[:2]}' "
                            "(joins onto the previous line's value)")
        if re.search(r"(^|[^\w$.])(" + "|".join(RESTRICTED) + r")$", code):
            raise PackError(f"{source_name}: line {number}: ends with '{code.split()[-1]}' "
                            "(its operand would come from the next line)")
        lines.append((number, code))
        outside_by_line.append((number, outside))

    for (number, code), (_, next_code) in zip(lines, lines[1:]):
        if ends_with_value(code) and not next_code.startswith(CONTINUATIONS):
            raise PackError(f"{source_name}: line {number}: statement ends without ';' before the next line")
    if lines and ends_with_value(lines[-1][1]):
        raise PackError(f"{source_name}: line {lines[-1][0]}: last statement ends without ';'")

    if entries is not None:
        if table_var is None:
            raise PackError(f"{source_name}: no line 'var <table> = {TEXTS_MARKER};' to put the texts of "
                            f"{table_name} in")
        use = re.compile(r"(?<![\w$.])" + re.escape(table_var) + r"\s*\.\s*(" + IDENTIFIER + ")")
        for number, outside in outside_by_line:
            for match in use.finditer(outside):
                used.setdefault(match.group(1), number)
        names = {name for name, _, _ in entries}
        for name, number in sorted(used.items(), key=lambda item: item[1]):
            if name not in names:
                raise PackError(f"{source_name}: line {number}: {table_var}.{name} is not in {table_name}")
        for name, _, number in entries:
            if name not in used:
                raise PackError(f"{table_name}: line {number}: '{name}' is not used by {source_name}")

    program = " ".join(code for _, code in lines)
    try:
        body = (HEADER + program).encode("cp1251")
    except UnicodeEncodeError as err:
        bad = (HEADER + program)[err.start]
        source_line = next((num for num, text in enumerate(source_text.split("\n"), start=1) if bad in text), "?")
        raise PackError(f"{source_name}: line {source_line}: character U+{ord(bad):04X} '{bad}' "
                        "has no code page 1251 form")
    return body


def read_text(path):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    return text[1:] if text.startswith("\ufeff") else text


def main(argv):
    parser = argparse.ArgumentParser(prog="pack_script.py", description="Packs a description script.")
    parser.add_argument("--texts", metavar="TABLE", help="the texts table to put in place of @texts")
    parser.add_argument("source", metavar="SOURCE.js")
    parser.add_argument("output", metavar="OUTPUT")
    args = parser.parse_args(argv[1:])
    try:
        source = read_text(args.source)
        table = read_text(args.texts) if args.texts else None
    except (OSError, UnicodeDecodeError) as err:
        print(f"pack_script: {err}", file=sys.stderr)
        return 1
    try:
        body = pack(source, table, args.source, args.texts or "texts")
    except PackError as err:
        print(f"pack_script: {err}", file=sys.stderr)
        return 1
    with open(args.output, "wb") as f:
        f.write(body)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
