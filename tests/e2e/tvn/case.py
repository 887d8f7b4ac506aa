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
        """Whether this test (or one of its subtests) has failed or raised so far."""
        result = self._outcome.result
        return any(getattr(test, "test_case", test) is self for test, _ in result.errors + result.failures)


def main():
    """Runs the calling module's tests with verbosity 2 and exits with their status."""
    program = unittest.main(module="__main__", verbosity=2, exit=False)
    result = program.result
    ok = result.wasSuccessful() and result.testsRun > 0
    sys.exit(0 if ok else 1)
