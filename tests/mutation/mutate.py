#!/usr/bin/env python3
"""Mutation run of the portable core.

Copies the tree (without build/ and .git) to build/mutation/src, builds the
native suite there once, then applies the mutants of mutants.txt one at a
time: the one file is rewritten, the suite rebuilt incrementally and run
(tvn_core_tests and every fuzz target's corpus replay). A mutant that makes a
test fail, crash or run past the time limit is killed; one that does not
compile is counted apart. The working tree is never touched.

    tests/mutation/mutate.py [--list FILE] [--only TEXT] [--timeout S] [--jobs N]

--only keeps the mutants whose file or description contains TEXT. The exit
status is 0 when the score reaches --goal (default 95), 1 otherwise, 2 when
the list or the unmutated suite is broken.
"""
import argparse
import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FIELDS = ("file", "what", "from", "to", "equivalent")
LINE_BREAK = "\u23ce"  # the sign for a line break in from: and to:


def parse_list(path):
    """Blocks of "key: value" lines separated by blank lines; '#' starts a comment
    line; a block without file: takes the file of the block before. from and to
    are verbatim, with LINE_BREAK standing for a line break."""
    mutants, block, errors = [], {}, []

    def unescape(text):
        return text.replace(LINE_BREAK, "\n")

    def close(line_number):
        if not block:
            return
        missing = [k for k in ("file", "what", "from", "to") if k not in block]
        if missing:
            errors.append("%s:%d: mutant without %s" % (path, line_number, ", ".join(missing)))
        else:
            block["from"], block["to"] = unescape(block["from"]), unescape(block["to"])
            mutants.append(dict(block))
        block.clear()

    current_file = None
    with open(path, encoding="utf-8") as handle:
        for number, raw in enumerate(handle, 1):
            line = raw.rstrip("\n")
            if line.startswith("#"):
                continue
            if not line.strip():
                close(number)
                continue
            key, sep, value = line.partition(":")
            key = key.strip()
            if not sep or key not in FIELDS:
                errors.append("%s:%d: expected one of %s: %s" % (path, number, ", ".join(FIELDS), line))
                continue
            value = value[1:] if value.startswith(" ") else value
            if key == "file":
                current_file = value
            block[key] = value
            if "file" not in block and current_file:
                block["file"] = current_file
        close(number + 1)
    return mutants, errors


def sync_tree(source, target):
    """Makes `target` a copy of `source` without build/ and .git. A file whose
    content is unchanged keeps its time stamp, so the build tree rebuilds only
    what changed since the last run."""
    wanted = set()
    for folder, subfolders, files in os.walk(source):
        relative = os.path.relpath(folder, source)
        subfolders[:] = [d for d in subfolders if d != ".git" and not (relative == "." and d == "build")]
        os.makedirs(os.path.join(target, relative), exist_ok=True)
        for name in files:
            path = os.path.normpath(os.path.join(relative, name))
            wanted.add(path)
            old, new = os.path.join(target, path), os.path.join(source, path)
            with open(new, "rb") as handle:
                data = handle.read()
            if os.path.exists(old):
                with open(old, "rb") as handle:
                    if handle.read() == data:
                        continue
            with open(old, "wb") as handle:
                handle.write(data)
    for folder, _, files in os.walk(target):
        for name in files:
            path = os.path.normpath(os.path.relpath(os.path.join(folder, name), target))
            if path not in wanted:
                os.remove(os.path.join(target, path))


def run(command, cwd, timeout=None, log=None):
    try:
        result = subprocess.run(["nice", "-n", "10"] + command, cwd=cwd, timeout=timeout,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    except subprocess.TimeoutExpired:
        return "timeout", ""
    output = result.stdout.decode("utf-8", "replace")
    if log:
        with open(log, "a", encoding="utf-8") as handle:
            handle.write(output)
    return result.returncode, output


def suite_commands(build):
    commands = [[os.path.join(build, "tvn_core_tests"), "--gtest_brief=1", "--gtest_fail_fast"]]
    corpus = os.path.join(ROOT, "build", "mutation", "src", "tests", "fuzz", "corpus")
    for name in sorted(os.listdir(corpus)):
        commands.append([os.path.join(build, name + "_replay"), os.path.join(corpus, name)])
    return commands


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--list", default=os.path.join(ROOT, "tests", "mutation", "mutants.txt"))
    parser.add_argument("--only", default="")
    parser.add_argument("--timeout", type=float, default=60.0, help="seconds per run of the suite")
    parser.add_argument("--jobs", default="2")
    parser.add_argument("--goal", type=float, default=95.0)
    parser.add_argument("--check", action="store_true", help="only check the list against the tree")
    args = parser.parse_args()

    mutants, errors = parse_list(args.list)
    scratch = os.path.join(ROOT, "build", "mutation")
    src, build = os.path.join(scratch, "src"), os.path.join(scratch, "build")
    for m in mutants:
        path = os.path.join(ROOT, m["file"])
        text = open(path, encoding="utf-8").read() if os.path.exists(path) else ""
        if text.count(m["from"]) != 1:
            errors.append("%s: '%s' occurs %d times (needs exactly once): %s"
                          % (m["file"], m["from"], text.count(m["from"]), m["what"]))
    if errors:
        print("\n".join(errors))
        return 2
    if args.check:
        print("%d mutants, %d marked equivalent: the list matches the tree"
              % (len(mutants), sum("equivalent" in m for m in mutants)))
        return 0
    if args.only:
        mutants = [m for m in mutants if args.only in m["file"] or args.only in m["what"]]

    # The scratch tree: a fresh copy of the sources each run, the build tree kept,
    # so that only what changed since the last run is rebuilt.
    os.makedirs(scratch, exist_ok=True)
    sync_tree(ROOT, src)
    log = os.path.join(scratch, "build.log")
    open(log, "w").close()
    # Configured every time, so that these flags hold for an older build tree
    # too: unoptimised and without debug information, since each mutant's
    # compile and link is what the run waits for, not the tests.
    code, out = run(["cmake", "-S", src, "-B", build, "-DCMAKE_BUILD_TYPE=None", "-DCMAKE_CXX_FLAGS=-O0 -g0"],
                    ROOT, log=log)
    if code != 0:
        print(out)
        return 2
    replays = ["%s_replay" % n for n in sorted(os.listdir(os.path.join(src, "tests", "fuzz", "corpus")))]

    def build_command(targets):
        return ["cmake", "--build", build, "-j", args.jobs, "--target"] + targets

    def build_and_test():
        # The GoogleTest suite first; the replays are built and run only for a
        # mutant it does not kill (most mutants never need them relinked).
        remaining = args.timeout  # for the test runs alone, not the builds
        for targets, commands in ((["tvn_core_tests"], suite_commands(build)[:1]), (replays, suite_commands(build)[1:])):
            code, out = run(build_command(targets), ROOT, log=log)
            if code != 0:
                return "stillborn", out
            for command in commands:
                started = time.time()
                code, out = run(command, build, timeout=max(1.0, remaining))
                remaining -= time.time() - started
                if code == "timeout":
                    return "killed (time-out)", ""
                if code != 0:
                    failed = [l for l in out.splitlines() if "[  FAILED  ]" in l or "invariant failed" in l]
                    return "killed", (failed[0] if failed else os.path.basename(command[0]))
        return "survived", ""

    started = time.time()
    status, detail = build_and_test()
    if status != "survived":
        print("The unmutated suite does not pass in %s: %s %s" % (build, status, detail))
        return 2
    print("unmutated suite passes (%.0f s); %d mutants" % (time.time() - started, len(mutants)))

    results = []
    for index, m in enumerate(mutants, 1):
        path = os.path.join(src, m["file"])
        original = open(path, encoding="utf-8").read()
        try:
            with open(path, "w", encoding="utf-8") as handle:
                handle.write(original.replace(m["from"], m["to"], 1))
            t0 = time.time()
            status, detail = build_and_test()
        finally:
            with open(path, "w", encoding="utf-8") as handle:
                handle.write(original)
        results.append((m, status, detail))
        note = ""
        if "equivalent" in m:
            note = " [equivalent]" if status == "survived" else " [marked equivalent but %s]" % status
        print("%3d/%d %-18s %-28s %s%s  (%.0f s)%s" % (index, len(mutants), status, m["file"], m["what"],
                                                      note, time.time() - t0, ("  " + detail) if detail else ""))
        sys.stdout.flush()
    # Rebuild the unmutated tree so that the next run starts from it.
    run(build_command(["tvn_core_tests"] + replays), ROOT, log=log)

    counted = [r for r in results if r[1] != "stillborn" and "equivalent" not in r[0]]
    killed = [r for r in counted if r[1].startswith("killed")]
    survivors = [r for r in counted if r[1] == "survived"]
    stillborn = [r for r in results if r[1] == "stillborn"]
    equivalent = [r for r in results if "equivalent" in r[0]]
    score = 100.0 * len(killed) / len(counted) if counted else 100.0
    print("\n%d mutants: %d killed, %d survived, %d equivalent, %d did not compile"
          % (len(results), len(killed), len(survivors), len(equivalent), len(stillborn)))
    print("score: %.1f %% (%d of %d non-equivalent mutants killed) in %.0f s"
          % (score, len(killed), len(counted), time.time() - started))
    for title, group in (("survivors", survivors), ("did not compile", stillborn)):
        if group:
            print(title + ":")
            for m, _, _ in group:
                print("  %s: %s" % (m["file"], m["what"]))
    for m, status, _ in equivalent:
        if status != "survived":
            print("marked equivalent but %s: %s: %s" % (status, m["file"], m["what"]))
    return 0 if score >= args.goal else 1


if __name__ == "__main__":
    sys.exit(main())
