#!/usr/bin/env python3
"""A benchmark program stopped midway (SIGINT, SIGTERM, SIGHUP) removes its scratch folder with what
it wrote there, and ends by the signal.

    stopped_bench_test.py <benchmark program that writes files>
"""
import os
import pathlib
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "scripts" / "tests"))
import ending  # noqa: E402
from scratch import WAIT_SECONDS  # noqa: E402
PROGRAM = None


class StoppedBenchmark(unittest.TestCase):
    def test_a_stopped_benchmark_leaves_nothing(self):
        for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            with self.subTest(number.name):
                root = os.environ.get("ZEQ_TEST_TMP") or None
                if root:
                    os.makedirs(root, exist_ok=True)
                temporary = tempfile.mkdtemp(prefix="stopped-bench-", dir=root)
                try:
                    program = ending.start([PROGRAM], env=dict(os.environ, TMPDIR=temporary),
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                    try:
                        # Stopped once its scratch folder was seen holding a file (which the benchmark
                        # may remove again at once); a program that never writes, or never ends, fails
                        # the test.
                        deadline = time.monotonic() + WAIT_SECONDS
                        written = False
                        while time.monotonic() < deadline and program.poll() is None and not written:
                            written = any(files for _, _, files in os.walk(temporary))
                            if not written:
                                time.sleep(0.02)
                        self.assertIsNone(program.poll(), "the benchmark ended before it was stopped")
                        self.assertTrue(written, "nothing was written")
                        program.send_signal(number)
                        self.assertEqual(-number, program.wait(timeout=WAIT_SECONDS))
                    finally:
                        if program.poll() is None:
                            ending.end(program)
                    self.assertEqual([], os.listdir(temporary))
                finally:
                    shutil.rmtree(temporary, ignore_errors=True)


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv[1])
    unittest.main(argv=sys.argv[:1])
