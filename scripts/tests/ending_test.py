#!/usr/bin/env python3
"""A test's programs (scripts/tests/ending.py) end with it however it is stopped: a test started
as a step of test.sh is (in a process group of its own), with a program that starts one of its own,
stopped by SIGTERM to its group, by SIGINT, SIGTERM or SIGHUP to it alone, or killed outright (its
program then); nothing of theirs runs on, and its programs stay in its process group.

This test is itself such a test, and ends the tests it runs however it is stopped: stopped by
SIGINT, SIGTERM or SIGHUP (to it or its group, as test.sh stops its step), it ends each of them
with what they started, then dies by the signal; killed outright, each is told by the system
(PR_SET_PDEATHSIG) and ends what it started itself."""
import ctypes
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
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from scratch import WAIT_SECONDS, scratch_root  # noqa: E402

# A test that starts a shell running a sleep of its own, notes both process ids, and waits; a deaf
# one ignores SIGTERM, as a test would that does not end its programs itself.
TEST = """import os, signal, sys, time
sys.dont_write_bytecode = True
sys.path.insert(0, {here!r})
import ending
{deaf}program = ending.start(["sh", "-c", "sleep 600 & echo $$ $! > {pids}.part; mv {pids}.part {pids}; wait"])
time.sleep(600)
"""
# This test held while the test it runs (as above) waits, its folder given: it says the test's
# process id once the test's program runs, then waits to be stopped.
HELD = """import os, pathlib, sys, time
sys.dont_write_bytecode = True
sys.path.insert(0, {here!r})
import ending_test
case = ending_test.Ending()
case.folder = pathlib.Path({folder!r})
def held(test):
    pathlib.Path({ready!r} + ".part").write_text(str(test.pid))
    os.replace({ready!r} + ".part", {ready!r})
    time.sleep(ending_test.WAIT_SECONDS)
case.stopped(held, deaf={deaf})
"""
# Each wait is bounded (WAIT_SECONDS): a test that never starts its program, or a process that never
# ends, fails.
PR_SET_PDEATHSIG = 1
# The process groups of the tests this one runs, while they may run.
GROUPS = set()
# The processes those tests noted (their programs and what those started), while they may run.
NOTED = set()
# This test's folders while they are there.
FOLDERS = set()


def runs(pid):
    """Whether the process runs (a zombie has ended)."""
    try:
        return pathlib.Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, IndexError):
        return False


def group(pid):
    """The process group of a running process, None when it does not run."""
    try:
        return int(pathlib.Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()[2])
    except (OSError, IndexError, ValueError):
        return None


def start_test(command):
    """A test started as test.sh starts a step, in a process group of its own; SIGTERM when this
    process dies however it dies, which its own handlers take as a stop."""
    parent = os.getpid()

    def prepare():
        ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM, 0, 0, 0)
        # This process may have died before the request was made.
        if os.getppid() != parent:
            os._exit(1)
    test = subprocess.Popen(command, process_group=0, preexec_fn=prepare)
    GROUPS.add(test.pid)
    return test


def end_tests():
    """SIGKILL to the tests' groups and to every process they noted that still runs."""
    for test_group in list(GROUPS):
        try:
            os.killpg(test_group, signal.SIGKILL)
        except OSError:
            pass
        GROUPS.discard(test_group)
    for pid in list(NOTED):
        if runs(pid):
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
        NOTED.discard(pid)


def wait_until(condition):
    """Whether condition() came true within WAIT_SECONDS."""
    deadline = time.monotonic() + WAIT_SECONDS
    while not condition() and time.monotonic() < deadline:
        time.sleep(0.02)
    return condition()


class Ending(unittest.TestCase):
    def setUp(self):
        self.folder = pathlib.Path(tempfile.mkdtemp(prefix="ending-", dir=scratch_root()))
        FOLDERS.add(self.folder)

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)
        FOLDERS.discard(self.folder)

    def stopped(self, stop, both=False, deaf=False):
        """The processes of a test's program that still run once the test, stopped by stop(test),
        has ended (with both, the two started, once the test ended; with deaf, the test ignores
        SIGTERM)."""
        pids = self.folder / "pids"
        script = self.folder / "test.py"
        script.write_text(TEST.format(here=HERE, pids=pids,
                                      deaf="signal.signal(signal.SIGTERM, signal.SIG_IGN)\n" if deaf else ""))
        test = start_test([sys.executable, str(script)])
        try:
            wait_until(lambda: pids.exists() or test.poll() is not None)
            self.assertTrue(pids.exists(), "the test started no program")
            started = pids.read_text().split()
            NOTED.update(int(pid) for pid in started)
            # Where a stop of the test's group reaches them, and everything they start.
            self.assertEqual([test.pid, test.pid], [group(pid) for pid in started],
                             "the test's programs left its process group")
            stop(test)
            test.wait(timeout=WAIT_SECONDS)
            if both:
                wait_until(lambda: not runs(started[0]))
                return started
            wait_until(lambda: not any(runs(pid) for pid in started))
            return [pid for pid in started if runs(pid)]
        finally:
            end_tests()
            test.wait()
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

    def test_this_test_stopped_while_the_test_it_runs_waits(self):
        # As test.sh stops its tests step (SIGTERM to the group, then SIGKILL), as a closed terminal
        # or Ctrl-C would, or as CTest kills a test past its time. This test ends the test it runs
        # itself, deaf or not; killed, it leaves that to the test it runs.
        def group_stop(number):
            return lambda this: os.killpg(this.pid, number)
        for name, stop, deafness in [("SIGTERM to its group", group_stop(signal.SIGTERM), (False, True)),
                                     ("SIGHUP to its group", group_stop(signal.SIGHUP), (False, True)),
                                     ("SIGINT to its group", group_stop(signal.SIGINT), (False, True)),
                                     ("SIGTERM to it alone", lambda this: this.send_signal(signal.SIGTERM),
                                      (False, True)),
                                     ("SIGKILL to it alone", lambda this: this.kill(), (False,))]:
            for deaf in deafness:
                with self.subTest(name, deaf=deaf):
                    self.assertEqual([], self.this_test_stopped(stop, deaf))

    def this_test_stopped(self, stop, deaf):
        """The processes that still run once this test, run with a test of its own and stopped by
        stop(this test) while that test waits, has ended: that test, its program, what that started."""
        folder = pathlib.Path(tempfile.mkdtemp(dir=self.folder))
        ready = folder / "ready"
        script = folder / "held.py"
        script.write_text(HELD.format(here=HERE, folder=str(folder), ready=str(ready), deaf=deaf))
        this = start_test([sys.executable, str(script)])
        try:
            wait_until(lambda: ready.exists() or this.poll() is not None)
            self.assertTrue(ready.exists(), "the test it runs never started its program")
            started = [int(ready.read_text())] + [int(pid) for pid in (folder / "pids").read_text().split()]
            NOTED.update(started)
            stop(this)
            this.wait(timeout=WAIT_SECONDS)
            wait_until(lambda: not any(runs(pid) for pid in started))
            return [pid for pid in started if runs(pid)]
        finally:
            end_tests()
            this.wait()


def stopped(number, _frame):
    """Stopped, this test ends the tests it runs and what they started, and removes its folders,
    then dies by the signal."""
    signal.signal(number, signal.SIG_IGN)
    end_tests()
    for folder in list(FOLDERS):
        shutil.rmtree(folder, ignore_errors=True)
    signal.signal(number, signal.SIG_DFL)
    os.kill(os.getpid(), number)


for _number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
    signal.signal(_number, stopped)

if __name__ == "__main__":
    unittest.main()
