"""Waiting for the desktop, Wine and the program: the one polling loop of the harness."""

import time


def first_true(predicate, timeout, poll=0.1, meanwhile=None):
    """Calls predicate until it gives a true value, for `timeout` seconds at the most; returns
    that value, or the last one when the time is up. It is called at least once, and once more
    after the deadline has passed. `meanwhile` runs between two calls (e.g. answering message
    boxes). For what must not happen, the false value at the end is the answer."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() > deadline:
            return value
        if meanwhile is not None:
            meanwhile()
        time.sleep(poll)


def wait_until(predicate, timeout, what, poll=0.1, meanwhile=None, context=None):
    """The first true value of predicate within `timeout` seconds; raises AssertionError naming
    `what` was awaited when there is none (with context(), a text, when that is given)."""
    value = first_true(predicate, timeout, poll, meanwhile)
    if not value:
        detail = f"; {context()}" if context is not None else ""
        raise AssertionError(f"timed out after {timeout} s waiting for {what}{detail}")
    return value
