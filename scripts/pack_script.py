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

Usage: pack_script.py SOURCE.js OUTPUT
"""
import re
import sys

HEADER = "// TVN SCRIPT(compress)\r\n// BINARY VERSION >= 3.1.1.4\r\n"

# After one of these characters a "/" starts a regular expression literal.
REGEX_PRECEDERS = set("(,=:[!&|?{};+-*%<>~^")
# Statements whose operand ends at a line break.
RESTRICTED = ("return", "break", "continue", "throw")
# A following line may begin with these when the previous one ends with a value.
CONTINUATIONS = ("}", ")", "]", ".", ",", ";", "?", ":", "+", "-", "*", "/", "%",
                 "=", "<", ">", "&", "|", "^", "!=", "(", "[")


class PackError(Exception):
    pass


def strip_line(line, number):
    """Returns the line's code with literals checked; raises on comments after code."""
    i = 0
    n = len(line)
    last_significant = ""
    while i < n:
        ch = line[i]
        if ch in "\"'":
            j = i + 1
            while j < n and line[j] != ch:
                j += 2 if line[j] == "\\" else 1
            if j >= n:
                raise PackError(f"line {number}: string literal not closed on its line")
            i = j + 1
            last_significant = ch
            continue
        if ch == "/":
            nxt = line[i + 1] if i + 1 < n else ""
            if nxt == "/":
                raise PackError(f"line {number}: '//' comment after code (would swallow the rest when joined)")
            if nxt == "*":
                raise PackError(f"line {number}: '/*' comments are not allowed; use whole '//' lines")
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
                    raise PackError(f"line {number}: regular expression literal not closed on its line")
                i = j + 1
                last_significant = "/"
                continue
        if not ch.isspace():
            last_significant = ch
        i += 1
    return line.strip()


def ends_with_value(code):
    if code.endswith(("++", "--")):
        return True
    last = code[-1]
    return last.isalnum() or last in "_$\"')]"


def pack(source_text):
    lines = []  # (source line number, code)
    for number, line in enumerate(source_text.split("\n"), start=1):
        line = line.rstrip("\r")
        if "\0" in line:
            raise PackError(f"line {number}: NUL character")
        if "\r" in line:
            raise PackError(f"line {number}: stray carriage return")
        stripped = line.strip()
        if not stripped or stripped.startswith("//"):
            continue
        code = strip_line(line, number)
        if code.startswith(("++", "--")):
            raise PackError(f"line {number}: starts with '{code[:2]}' (joins onto the previous line's value)")
        if re.search(r"(^|[^\w$.])(" + "|".join(RESTRICTED) + r")$", code):
            raise PackError(f"line {number}: ends with '{code.split()[-1]}' (its operand would come from the next line)")
        lines.append((number, code))

    for (number, code), (_, next_code) in zip(lines, lines[1:]):
        if ends_with_value(code) and not next_code.startswith(CONTINUATIONS):
            raise PackError(f"line {number}: statement ends without ';' before the next line")
    if lines and ends_with_value(lines[-1][1]):
        raise PackError(f"line {lines[-1][0]}: last statement ends without ';'")

    program = " ".join(code for _, code in lines)
    try:
        body = (HEADER + program).encode("cp1251")
    except UnicodeEncodeError as err:
        bad = (HEADER + program)[err.start]
        source_line = next((num for num, text in enumerate(source_text.split("\n"), start=1) if bad in text), "?")
        raise PackError(f"line {source_line}: character U+{ord(bad):04X} '{bad}' has no code page 1251 form")
    return body


def main(argv):
    if len(argv) != 3:
        print("usage: pack_script.py SOURCE.js OUTPUT", file=sys.stderr)
        return 2
    src, out = argv[1], argv[2]
    try:
        with open(src, encoding="utf-8") as f:
            text = f.read()
    except (OSError, UnicodeDecodeError) as err:
        print(f"pack_script: {src}: {err}", file=sys.stderr)
        return 1
    if text.startswith("\ufeff"):
        text = text[1:]
    try:
        body = pack(text)
    except PackError as err:
        print(f"pack_script: {src}: {err}", file=sys.stderr)
        return 1
    with open(out, "wb") as f:
        f.write(body)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
