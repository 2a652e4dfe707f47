#!/usr/bin/env python3
"""A test program started as a script starts one in the background (SIGINT and SIGQUIT ignored, as
a shell without job control leaves them) passes its tests, and ends within the bound.

    background_start_test.py <test program> <gtest filter>
"""
import os
import signal
import subprocess
import sys
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ending  # noqa: E402
from scratch import WAIT_SECONDS  # noqa: E402

PROGRAM = FILTER = None


def as_in_the_background():
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    signal.signal(signal.SIGQUIT, signal.SIG_IGN)


class BackgroundStart(unittest.TestCase):
    def test_passes_with_sigint_ignored(self):
        program = ending.start([PROGRAM, f"--gtest_filter={FILTER}"], stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True, preexec_fn=as_in_the_background)
        try:
            # A program that never ends fails the test.
            output, _ = program.communicate(timeout=WAIT_SECONDS)
        except subprocess.TimeoutExpired:
            ending.end(program)
            self.fail(f"no end within {WAIT_SECONDS} s")
        self.assertEqual(0, program.returncode, output)
        self.assertIn("[  PASSED  ]", output)
        self.assertNotIn("[  FAILED  ]", output)


if __name__ == "__main__":
    PROGRAM, FILTER = os.path.abspath(sys.argv[1]), sys.argv[2]
    unittest.main(argv=sys.argv[:1])
