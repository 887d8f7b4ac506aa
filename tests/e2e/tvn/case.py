"""The base of the end-to-end test cases and their runner."""

import sys
import unittest

from tvn.env import ensure_env
from tvn.processes import kill_all_tvn
from tvn.windows import screenshot


class TvnTestCase(unittest.TestCase):
    """Base for end-to-end tests: a prepared environment and no TVN.exe left over before or after."""

    @classmethod
    def setUpClass(cls):
        ensure_env()

    def setUp(self):
        kill_all_tvn()

    def tearDown(self):
        if self._failed():
            try:
                print("screenshot of the failure: %s" % screenshot(self.id() + "-failed"), file=sys.stderr)
            except AssertionError:
                pass
        kill_all_tvn()

    def _failed(self):
        outcome = getattr(self, "_outcome", None)
        result = getattr(outcome, "result", None)
        if result is None:
            return False
        for test, _ in list(getattr(result, "errors", [])) + list(getattr(result, "failures", [])):
            if test is self:
                return True
        return not getattr(outcome, "success", True)


def main():
    """Runs the calling module's tests with verbosity 2 and exits with their status."""
    program = unittest.main(module="__main__", verbosity=2, exit=False)
    result = program.result
    ok = result.wasSuccessful() and result.testsRun > 0
    sys.exit(0 if ok else 1)
