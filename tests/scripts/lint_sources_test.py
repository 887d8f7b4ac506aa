"""scripts/lint.sh --sources: the formatting check and the check for raw
releases of platform handles, run on a scratch repository that holds a copy of
the lint script, the repository's .clang-format and a few small files. Standard
library only; run directly or through CTest (native.lint_sources)."""

import os
import shutil
import subprocess
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# Formatted as .clang-format wants it; names of release functions appear only
# where they are no call of the platform's function.
CLEAN = """\
// Closes nothing itself: CloseHandle(h) in a comment is no call.
#include "base/win/unique_handle.h"

namespace tvn {

class Factory {
 public:
  virtual void DestroyIcon(int icon) = 0;
};

void Drop(Factory& factory, Factory* other, int icon) {
  factory.DestroyIcon(icon);
  other->DestroyIcon(icon);
  const char* text = "FreeLibrary advapi32.dll";
  (void)text;
}

}  // namespace tvn
"""

RAW = """\
#include <windows.h>

void Leak(HANDLE handle, HMODULE module, HWND window) {
  CloseHandle(handle);
  ::FreeLibrary(module);
  if (window) DestroyWindow(window);
}
"""

# The owners themselves release, and their file is on the script's list.
OWNERS = """\
#pragma once

inline void Close(void* handle) { CloseHandle(handle); }
"""

MISFORMATTED = "int  Sum(int a,int b){return a+b;}\n"


class LintSources(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="tvn lint ")
        os.makedirs(os.path.join(self.scratch, "scripts"))
        shutil.copy(os.path.join(ROOT, "scripts", "lint.sh"), os.path.join(self.scratch, "scripts"))
        shutil.copy(os.path.join(ROOT, ".clang-format"), self.scratch)
        subprocess.run(["git", "init", "-q", self.scratch], check=True)

    def tearDown(self):
        shutil.rmtree(self.scratch, ignore_errors=True)

    def write(self, path, text):
        full = os.path.join(self.scratch, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as f:
            f.write(text)
        return full

    def lint(self):
        result = subprocess.run(["bash", os.path.join(self.scratch, "scripts", "lint.sh"), "--sources"],
                                cwd=self.scratch, capture_output=True, text=True)
        return result.returncode, result.stdout + result.stderr

    def test_clean_sources_pass(self):
        self.write("base/win/unique_handle.h", OWNERS)
        self.write("product/clean.cpp", CLEAN)
        status, output = self.lint()
        self.assertEqual(status, 0, output)
        self.assertIn("lint: clean", output)

    def test_each_raw_release_outside_the_owners_fails(self):
        self.write("base/win/unique_handle.h", OWNERS)
        self.write("product/clean.cpp", CLEAN)
        self.write("tests/raw.cpp", RAW)
        status, output = self.lint()
        self.assertNotEqual(status, 0, output)
        for line, name in ((4, "CloseHandle"), (5, "FreeLibrary"), (6, "DestroyWindow")):
            self.assertIn("tests/raw.cpp:%d: a raw release (%s)" % (line, name), output)
        self.assertIn("lint: 3 failed", output)
        self.assertNotIn("clean.cpp", output)
        self.assertNotIn("base/win/unique_handle.h:", output)

    def test_an_unformatted_file_fails_untracked_or_tracked(self):
        self.write("product/clean.cpp", CLEAN)
        self.write("product/sum.cpp", MISFORMATTED)
        status, output = self.lint()
        self.assertNotEqual(status, 0, output)
        self.assertIn("product/sum.cpp is not formatted", output)
        self.assertIn("lint: 1 failed", output)
        subprocess.run(["git", "add", "-A"], cwd=self.scratch, check=True)
        status, output = self.lint()
        self.assertIn("product/sum.cpp is not formatted", output)

    def test_a_mutant_that_no_longer_matches_its_file_fails(self):
        self.write("product/clean.cpp", CLEAN)
        shutil.copy(os.path.join(ROOT, "tests", "mutation", "mutate.py"), self.write("tests/mutation/mutate.py", ""))
        mutant = "file: product/clean.cpp\nwhat: %s\nfrom: %s\nto: x\n\n"
        self.write("tests/mutation/mutants.txt", mutant % ("matches", "factory.DestroyIcon(icon);"))
        status, output = self.lint()
        self.assertEqual(status, 0, output)
        self.assertIn("lint: the mutation list against the sources", output)
        self.write("tests/mutation/mutants.txt", mutant % ("gone", "factory.DestroyIcon(0);"))
        status, output = self.lint()
        self.assertNotEqual(status, 0, output)
        self.assertIn("product/clean.cpp: 'factory.DestroyIcon(0);' occurs 0 times", output)
        self.assertIn("lint: 1 failed", output)

    def test_ignored_files_are_not_checked(self):
        self.write(".gitignore", "build/\n")
        self.write("product/clean.cpp", CLEAN)
        self.write("build/generated.cpp", MISFORMATTED + RAW)
        status, output = self.lint()
        self.assertEqual(status, 0, output)


if __name__ == "__main__":
    unittest.main()
