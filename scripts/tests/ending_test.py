#!/usr/bin/env python3
"""A test's programs (scripts/tests/ending.py) end with it however it is stopped: a test started
as a step of test.sh is (in a process group of its own), with a program that starts one of its own,
stopped by SIGTERM to its group, by SIGINT, SIGTERM or SIGHUP to it alone, or killed outright (its
program then); nothing of theirs runs on."""
import os
import pathlib
import signal
import subprocess
import sys
import tempfile
import shutil
import time
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from scratch import scratch_root  # noqa: E402

# A test that starts a shell running a sleep of its own, notes both process ids, and waits.
TEST = """import os, sys, time
sys.dont_write_bytecode = True
sys.path.insert(0, {here!r})
import ending
program = ending.start(["sh", "-c", "sleep 600 & echo $$ $! > {pids}.part; mv {pids}.part {pids}; wait"])
time.sleep(600)
"""
# Bounds on the waits: a test that never starts its program, or a process that never ends, fails.
SECONDS = 30


def runs(pid):
    """Whether the process runs (a zombie has ended)."""
    try:
        return pathlib.Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, IndexError):
        return False


class Ending(unittest.TestCase):
    def setUp(self):
        self.folder = pathlib.Path(tempfile.mkdtemp(prefix="ending-", dir=scratch_root()))

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def stopped(self, stop, both=False):
        """The processes of a test's program that still run once the test, stopped by stop(test),
        has ended (with both, the two started, once the test ended)."""
        pids = self.folder / "pids"
        script = self.folder / "test.py"
        script.write_text(TEST.format(here=os.path.dirname(os.path.abspath(__file__)), pids=pids))
        test = subprocess.Popen([sys.executable, str(script)], process_group=0)
        try:
            deadline = time.monotonic() + SECONDS
            while not pids.exists() and test.poll() is None and time.monotonic() < deadline:
                time.sleep(0.02)
            self.assertTrue(pids.exists(), "the test started no program")
            started = pids.read_text().split()
            stop(test)
            test.wait(timeout=SECONDS)
            if both:
                deadline = time.monotonic() + SECONDS
                while runs(started[0]) and time.monotonic() < deadline:
                    time.sleep(0.02)
                return started
            deadline = time.monotonic() + SECONDS
            while any(runs(pid) for pid in started) and time.monotonic() < deadline:
                time.sleep(0.02)
            return [pid for pid in started if runs(pid)]
        finally:
            if test.poll() is None:
                test.kill()
                test.wait()
            if pids.exists():
                for pid in pids.read_text().split():
                    if runs(pid):
                        os.kill(int(pid), signal.SIGKILL)
            pids.unlink(missing_ok=True)

    def test_its_group_stopped(self):
        for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            with self.subTest(number.name):
                self.assertEqual([], self.stopped(lambda test: os.killpg(test.pid, number)))

    def test_it_alone_stopped(self):
        for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            with self.subTest(number.name):
                self.assertEqual([], self.stopped(lambda test: test.send_signal(number)))

    def test_it_alone_killed_its_program_ends(self):
        shell, _ = self.stopped(lambda test: test.kill(), both=True)
        # The program ends with the test; what it started, in the test's group, ends with the group.
        self.assertFalse(runs(shell))


if __name__ == "__main__":
    unittest.main()
