"""The one polling loop of the end-to-end tests."""

import time


def wait_until(condition, timeout, interval=0.2):
    """Calls `condition` until it returns a true value or `timeout` seconds have
    passed, at least once; returns its last value (false on time-out)."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)
