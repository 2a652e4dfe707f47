#!/usr/bin/env python3
"""scripts/test.sh over stand-ins for the package tools, CMake and CTest: every run ends with
its two closing lines (the verdict, then the counts), once however many signals come, and with
status 1 wherever anything failed: a missing package, a failed install, a build step, a test, a
signal.

Whatever it starts ends with it: stopped (SIGTERM, SIGINT, SIGHUP), it stops the scripts it runs
and removes its folder, which lies in the build's test-tmp (ZEQ_TEST_TMP) where the run's check
of leftovers looks; killed outright, the scripts it started are told by the system
(PR_SET_PDEATHSIG) and stop their steps themselves. Its waits are bounded (WAIT_SECONDS, minutes
as a loaded machine may need): a script that does not stop fails the test."""
import fcntl
import os
import pathlib
import pty
import select
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from scratch import WAIT_SECONDS, scratch_root  # noqa: E402
from scriptprocs import (FOLDERS, RUNNING, end, end_with_a_stop, end_with_this_test, kill_noted, reached,  # noqa: E402
                         runs, start, stop, stop_groups)

SCRIPTS = pathlib.Path(__file__).resolve().parent.parent


# Each stand-in logs its call to $STUB_LOG and fails where $STUB_FAIL names its step
# ("configure:build/test", "build:build/test-o2", "tests:build/test", "signal:build/test-o2").
# Where test.sh is made to run at-exit in its exit trap (hook_at_exit), that sends test.sh the
# signals $STUB_AT_EXIT names ("HUP INT"), once: first, before the trap may ignore them, or once the
# run said its closing lines.
# Where $STUB_HANG names its step, it runs until it is stopped, as a long build does, with a
# worker of its own as CMake runs Ninja: both note their process ids, then the step says it is
# ready. The worker waits in short sleeps: a SIGTERM that comes while the shell starts a command
# is taken by the shell's trap, and would be lost to a long sleep started in the background. Like CMake and Ninja, the step exits with a status on Ctrl-C; on SIGTERM it ends at once,
# its worker a moment later, saying that the build stopped.
# Where $STUB_PAUSE names its step, it says so ($STUB_LOG.paused) and waits there until the test
# lets it go on ($STUB_LOG.go), so that another run acts while this one stands at that point.
# CTest's stand-in writes its report and log through temporaries beside them, as CTest does.
STUBS = {
    "hang.sh": """case " $STUB_PAUSE " in *" $step "*)
  : > "$STUB_LOG.paused"
  while [ ! -e "$STUB_LOG.go" ]; do sleep 0.02; done;;
esac
case " $STUB_HANG " in *" $step "*) ;; *) return 0;; esac
trap 'echo "stub: $step interrupted" >> "$STUB_LOG"; exit 2' INT
sh -c 'trap "sleep 0.5; echo \\"ninja: build stopped: interrupted by user.\\"; exit 2" TERM
       echo $$ >> "$STUB_LOG.pids"; while :; do sleep 0.05; done' &
worker=$!
echo $$ >> "$STUB_LOG.pids"
while [ $(wc -l < "$STUB_LOG.pids") -lt 2 ]; do sleep 0.01; done
echo "[1/2] $step under way"
: > "$STUB_LOG.ready"
wait $worker
echo "stub: $step ran to its end" >> "$STUB_LOG"
exit 0
""",
    "at-exit": """#!/bin/sh
[ -n "$STUB_AT_EXIT" ] && [ ! -e "$STUB_LOG.at-exit" ] || exit 0
: > "$STUB_LOG.at-exit"
for number in $STUB_AT_EXIT; do kill -"$number" $PPID; done
echo "at exit: $STUB_AT_EXIT" >> "$STUB_LOG"
""",
    "id": """#!/bin/sh
if [ "$1" = -u ]; then echo "${STUB_UID:-1000}"; else exec /usr/bin/id "$@"; fi
""",
    "dpkg-query": """#!/bin/sh
for p in $STUB_MISSING; do [ "$p" = "$3" ] && exit 1; done
printf 'install ok installed'
""",
    "apt-get": """#!/bin/sh
echo "apt-get $*" >> "$STUB_LOG"
[ "$1" = install ] && [ -n "$STUB_INSTALL_FAILS" ] && exit 100
exit 0
""",
    "nproc": "#!/bin/sh\necho 2\n",
    "cmake": """#!/bin/sh
echo "cmake $*" >> "$STUB_LOG"
if [ "$1" = --build ]; then step=build:$2; else step=configure:$4; fi
. "$STUB_BIN/hang.sh"
case " $STUB_FAIL " in *" $step "*) exit 1;; esac
exit 0
""",
    "ctest": """#!/bin/sh
echo "ctest $*" >> "$STUB_LOG"
echo "tmp: $TMPDIR" >> "$STUB_LOG"
echo "tmp mode: $(stat -c %a "$TMPDIR")" >> "$STUB_LOG"
: > "$TMPDIR/left-by-the-tests"
build=$2
echo "test-tmp of $build: $(cd "$build/test-tmp" 2>/dev/null && find . -mindepth 1 | sort | tr '\n' ' ')" >> "$STUB_LOG"
while [ $# -gt 0 ]; do
  case $1 in --output-junit) report=$2;; --output-log) log=$2;; esac
  shift
done
: > "$report.tmp"
: > "$log.tmpAb12C"
step=tests:$build
. "$STUB_BIN/hang.sh"
case " $STUB_FAIL " in *" signal:$build "*) kill -TERM $PPID; exit 1;; esac
failed=0
case " $STUB_FAIL " in *" tests:$build "*) failed=1;; esac
{
  echo '<?xml version="1.0" encoding="UTF-8"?><testsuite>'
  echo '<testcase name="A.Passes" status="run"><system-out>ok</system-out></testcase>'
  echo '<testcase name="A.Skips" status="notrun"><skipped message="needs root"/></testcase>'
  if [ $failed = 1 ]; then
    echo '<testcase name="A.Fails" status="fail"><failure message="Failed"/></testcase>'
  else
    echo '<testcase name="A.AlsoPasses" status="run"><system-out>ok</system-out></testcase>'
  fi
  echo '</testsuite>'
} > "$report.tmp"
mv "$report.tmp" "$report"
rm "$log.tmpAb12C"
exit $((failed * 8))
""",
}


class TestScript(unittest.TestCase):
    def setUp(self):
        self.folder = pathlib.Path(tempfile.mkdtemp(prefix="test-script-", dir=scratch_root()))
        FOLDERS.add(self.folder)
        tree = self.folder / "tree" / "scripts"
        tree.mkdir(parents=True)
        for name in ("test.sh", "steps.sh", "deps.sh", "skipped-tests.py"):
            shutil.copy(SCRIPTS / name, tree / name)
        self.script = tree / "test.sh"
        self.bin = self.folder / "bin"
        self.bin.mkdir()
        for name, text in STUBS.items():
            (self.bin / name).write_text(text)
            (self.bin / name).chmod(stat.S_IRWXU)
        self.log = self.folder / "calls.log"

    def tearDown(self):
        shutil.rmtree(self.folder)
        FOLDERS.discard(self.folder)

    def environment(self, stub):
        env = {k: v for k, v in os.environ.items() if not k.startswith(("ZEQ_", "STUB_"))}
        env.update({"PATH": f"{self.bin}:{env.get('PATH', '/usr/bin:/bin')}", "STUB_LOG": str(self.log),
                    "STUB_BIN": str(self.bin), "TMPDIR": str(self.folder)})
        env.update({f"STUB_{k.upper()}": v for k, v in stub.items()})
        return env

    def calls(self):
        return self.log.read_text().splitlines() if self.log.exists() else []

    def run_script(self, **stub):
        """test.sh's status, its output's lines and the stand-ins' calls."""
        script = start(["bash", str(self.script)], self.environment(stub))
        try:
            out, errors = self.communicate(script)
        finally:
            end(script)
        return script.returncode, out.splitlines(), errors, self.calls()

    def communicate(self, script):
        """The output and errors of the script, which ends by itself within WAIT_SECONDS."""
        try:
            return script.communicate(timeout=WAIT_SECONDS)
        except subprocess.TimeoutExpired:
            self.fail(f"test.sh did not end within {WAIT_SECONDS} s: {self.calls()}")

    def stop_script(self, hang, signal_number, whole_group, **stub):
        """test.sh run until the step hang is under way, then sent the signal (to its process group,
        as Ctrl-C sends it, or to the script alone): its status, its output's lines, the calls, and
        the processes of the step still running after the script ended."""
        script = start(["bash", str(self.script)], self.environment(dict(stub, hang=hang)))
        try:
            # The step says when it is under way; a script that ends before is a failure of its own.
            self.assertTrue(reached(pathlib.Path(f"{self.log}.ready"), script), f"{hang} never started: {self.calls()}")
            out = stop(script, signal_number, whole_group)
            if out is None:
                return None
            running = [pid for pid in pathlib.Path(f"{self.log}.pids").read_text().split() if runs(pid)]
        finally:
            end(script)
            self.end_step()
        return script.returncode, out.splitlines(), self.calls(), running

    def end_step(self):
        """Nothing of a step test.sh left running (in a process group of its own) runs on."""
        pids = pathlib.Path(f"{self.log}.pids")
        kill_noted(pids.read_text().split() if pids.exists() else [])

    def hook_at_exit(self, after="on_exit() {\n"):
        """test.sh made to run the at-exit stand-in in its exit trap, after the line given (first,
        by default): the signals it sends come as the run closes, each at that point."""
        text = self.script.read_text()
        self.assertEqual(1, text.count(after), f"test.sh's exit trap has no {after!r} to hook")
        self.script.write_text(text.replace(after, after + '    "$STUB_BIN/at-exit"\n'))

    def forget_calls(self):
        for extra in ("", ".ready", ".pids", ".at-exit"):
            pathlib.Path(f"{self.log}{extra}").unlink(missing_ok=True)



    def assertTestsTmpGone(self, calls):
        """Each test step had a temporary folder of its own in TMPDIR, which others may pass (tests
        acting as another user work below it) but not write in (0755), gone once the run ended."""
        folders = [call[len("tmp: "):] for call in calls if call.startswith("tmp: ")]
        self.assertTrue(folders, calls)
        self.assertEqual(["755"] * len(folders), [call[len("tmp mode: "):] for call in calls
                                                  if call.startswith("tmp mode: ")], calls)
        for folder in folders:
            self.assertEqual(str(self.folder), os.path.dirname(folder), calls)
            self.assertFalse(os.path.exists(folder), folder)

    def assertOnlyFinalOutputs(self, *builds):
        """Of the runs' tests' reports and logs, the build folders hold the final names alone: no
        run's own folder, no temporary of a stopped CTest."""
        for build in builds:
            folder = self.script.parent.parent / "build" / build
            self.assertLessEqual(set(os.listdir(folder)), {"test-run.lock", "test-tmp", "test-report.xml", "test.log"},
                                 build)

    def assertClosedWith(self, lines, verdict, counts):
        self.assertGreaterEqual(len(lines), 2, lines)
        self.assertEqual([f"zeq builds: {verdict}", f"tests: {counts}"], lines[-2:], "\n".join(lines))
        self.assertEqual(1, sum(line.startswith("zeq builds: ") for line in lines), "\n".join(lines))

    def test_both_builds_passing(self):
        status, lines, _, calls = self.run_script()
        self.assertEqual(0, status)
        self.assertClosedWith(lines, "passed (sanitizer: passed; optimised: passed)", "4 passed, 0 failed, 2 skipped")
        self.assertEqual(2, sum(call.startswith("ctest ") for call in calls))
        self.assertTestsTmpGone(calls)
        self.assertOnlyFinalOutputs("test", "test-o2")

    def test_two_runs_at_once_count_their_own_tests(self):
        # The first run's sanitizer tests passed; it stands at its optimised build while a second
        # run, whose sanitizer tests fail, runs whole in the same checkout. Each counts its own tests
        # (the second's start took the first's report away, and the first counted the second's),
        # and each build folder ends with the report of the run whose tests there ended last.
        paused, go = pathlib.Path(f"{self.log}.paused"), pathlib.Path(f"{self.log}.go")
        first = start(["bash", str(self.script)], self.environment({"pause": "build:build/test-o2"}))
        try:
            self.assertTrue(reached(paused, first), f"the first run never reached its optimised build: {self.calls()}")
            self.log = self.folder / "second-calls.log"
            status, lines, _, _ = self.run_script(fail="tests:build/test")
            self.assertEqual(1, status)
            self.assertClosedWith(lines, "failed (sanitizer: failed; optimised: passed)", "3 passed, 1 failed, 2 skipped")
            go.touch()
            out, _ = self.communicate(first)
        finally:
            end(first)
        self.assertEqual(0, first.returncode)
        self.assertClosedWith(out.splitlines(), "passed (sanitizer: passed; optimised: passed)",
                              "4 passed, 0 failed, 2 skipped")
        builds = self.script.parent.parent / "build"
        self.assertIn("A.Fails", (builds / "test" / "test-report.xml").read_text())
        self.assertNotIn("A.Fails", (builds / "test-o2" / "test-report.xml").read_text())
        self.assertOnlyFinalOutputs("test", "test-o2")

    def test_what_earlier_runs_left_goes_at_the_start(self):
        # A test stopped midway left its folder (a writer's temporary in it), a failed plug-in test
        # its folder for a look, a script test its folder; the user's own files and a link stay.
        scratch = self.script.parent.parent / "build" / "test" / "test-tmp"
        elsewhere = self.folder / "elsewhere"
        def plant():
            for folder in ("fileio-Stopped-Ab12Cd", "zeqtulo/Suite.Failed-Xy34Zw", "one-door-abcd_123", "mine",
                           "run-4242-987654/zeqtulo/Suite.Failed-Xy34Zw", "run-4242"):
                (scratch / folder).mkdir(parents=True, exist_ok=True)
            (scratch / "run-4242-987654/zeqtulo/Suite.Failed-Xy34Zw" / "zeqtulolog.txt").write_text("")
            (scratch / "fileio-Stopped-Ab12Cd" / "deep.3ds.tmp123.abc").write_text("")
            (scratch / "zeqtulo/Suite.Failed-Xy34Zw" / "zeqtulolog.txt").write_text("")
            (scratch / "notes.txt").write_text("")
            elsewhere.mkdir(exist_ok=True)
            (elsewhere / "kept").write_text("")
            (scratch / "linked-Ab12Cd").unlink(missing_ok=True)
            (scratch / "linked-Ab12Cd").symlink_to(elsewhere)
        kept = ["./linked-Ab12Cd", "./mine", "./notes.txt", "./run-4242"]
        plant()
        status, _, _, calls = self.run_script()
        self.assertEqual(0, status)
        self.assertIn(f"test-tmp of build/test: {' '.join(kept)} ", calls)
        self.assertTrue((elsewhere / "kept").exists())
        # Another run testing in that build folder (holding it): nothing goes.
        plant()
        self.log.unlink()
        with open(scratch.parent / "test-run.lock", "a") as lock:
            fcntl.flock(lock, fcntl.LOCK_SH)
            status, _, _, calls = self.run_script()
        self.assertEqual(0, status)
        self.assertIn("./fileio-Stopped-Ab12Cd/deep.3ds.tmp123.abc", next(c for c in calls if c.startswith("test-tmp of build/test:")))
        self.assertTrue((scratch / "zeqtulo/Suite.Failed-Xy34Zw").exists())
        self.assertTrue((scratch / "run-4242-987654/zeqtulo/Suite.Failed-Xy34Zw/zeqtulolog.txt").exists())

    def test_a_missing_package_without_root(self):
        status, lines, errors, calls = self.run_script(missing="libtiff-dev", uid="1000")
        self.assertEqual(1, status)
        self.assertIn("apt-get install -y libtiff-dev", errors)
        self.assertClosedWith(lines, "failed (the packages the build needs are not installed: no build ran)",
                              "0 passed, 1 failed, 0 skipped")
        self.assertEqual([], calls)

    def test_a_failed_install_as_root(self):
        status, lines, _, calls = self.run_script(missing="cmake nettle-dev", uid="0", install_fails="1")
        self.assertEqual(1, status)
        self.assertClosedWith(lines, "failed (the packages the build needs are not installed: no build ran)",
                              "0 passed, 1 failed, 0 skipped")
        self.assertIn("apt-get install -y -qq --no-install-recommends cmake nettle-dev", calls)
        self.assertFalse(any(call.startswith(("cmake", "ctest")) for call in calls), calls)

    def test_an_install_as_root_that_succeeds_goes_on(self):
        status, lines, _, _ = self.run_script(missing="cmake", uid="0")
        self.assertEqual(0, status)
        self.assertClosedWith(lines, "passed (sanitizer: passed; optimised: passed)", "4 passed, 0 failed, 2 skipped")

    def test_a_failing_step_of_either_build(self):
        for fail, verdict, counts in [
                ("configure:build/test", "sanitizer: failed; optimised: passed", "2 passed, 1 failed, 1 skipped"),
                ("build:build/test-o2", "sanitizer: passed; optimised: failed", "2 passed, 1 failed, 1 skipped"),
                ("tests:build/test", "sanitizer: failed; optimised: passed", "3 passed, 1 failed, 2 skipped"),
                ("configure:build/test build:build/test-o2", "sanitizer: failed; optimised: failed",
                 "0 passed, 2 failed, 0 skipped")]:
            with self.subTest(fail):
                status, lines, _, _ = self.run_script(fail=fail)
                self.assertEqual(1, status)
                self.assertClosedWith(lines, f"failed ({verdict})", counts)

    def test_a_run_stopped_by_a_signal(self):
        # Sent by the tests of the second build as they end: bash's own handling of a signal it
        # has no trap for could end the script without its closing lines.
        status, lines, _, _ = self.run_script(fail="signal:build/test-o2")
        self.assertEqual(1, status)
        self.assertClosedWith(lines, "failed (stopped before the end; sanitizer: passed)",
                              "2 passed, 1 failed, 1 skipped")

    def test_a_signal_at_any_step_stops_the_whole_run(self):
        for hang, number, whole_group, verdict, counts, later in [
                ("configure:build/test", signal.SIGINT, True, "", "0 passed, 1 failed, 0 skipped", "cmake --build"),
                ("build:build/test", signal.SIGINT, True, "", "0 passed, 1 failed, 0 skipped", "ctest"),
                ("build:build/test", signal.SIGTERM, False, "", "0 passed, 1 failed, 0 skipped", "ctest"),
                ("tests:build/test-o2", signal.SIGINT, False, "; sanitizer: passed", "2 passed, 1 failed, 1 skipped",
                 "<none>"),
                ("configure:build/test-o2", signal.SIGHUP, False, "; sanitizer: passed", "2 passed, 1 failed, 1 skipped",
                 "cmake --build build/test-o2")]:
            self.forget_calls()
            # A script that does not stop fails at once, without the other cases' waits.
            stopped = self.stop_script(hang, number, whole_group)
            if stopped is None:
                self.fail(f"{hang}, {number.name}: test.sh went on for {WAIT_SECONDS} s after the signal, or left "
                          f"its output open: {self.calls()}")
            with self.subTest(hang=hang, signal=number.name, whole_group=whole_group):
                status, lines, calls, running = stopped
                self.assertEqual(1, status)
                self.assertClosedWith(lines, f"failed (stopped before the end{verdict})", counts)
                # Nothing after the stopped step started, nor went on, nor spoke after the verdict.
                self.assertEqual([], running)
                self.assertFalse(any(call.startswith(later) for call in calls), calls)
                self.assertFalse(any(call.startswith("stub:") for call in calls), calls)
                self.assertIn("ninja: build stopped: interrupted by user.", lines[:-2])
                if hang.startswith("tests:"):
                    self.assertTestsTmpGone(calls)
                    self.assertOnlyFinalOutputs("test", "test-o2")

    def test_signals_close_together_close_the_run_once(self):
        # A closed terminal sends SIGHUP more than once, and Ctrl-C may follow SIGTERM: the first
        # signal comes while a step is under way, the rest as the run closes. A second signal taken
        # there ended the script at once, its step running on, its tests' folder left, no lines said.
        self.hook_at_exit()
        for hang, verdict, counts in [
                ("configure:build/test", "", "0 passed, 1 failed, 0 skipped"),
                ("build:build/test-o2", "; sanitizer: passed", "2 passed, 1 failed, 1 skipped"),
                ("tests:build/test", "", "0 passed, 1 failed, 0 skipped")]:
            for first, rest in [(signal.SIGHUP, "HUP"), (signal.SIGTERM, "HUP INT")]:
                self.forget_calls()
                stopped = self.stop_script(hang, first, False, at_exit=rest)
                with self.subTest(hang=hang, signals=f"{first.name[3:]} {rest}"):
                    self.assertIsNotNone(stopped, f"test.sh went on for {WAIT_SECONDS} s after the signals, or "
                                                  f"left its output open to its step: {self.calls()}")
                    status, lines, calls, running = stopped
                    self.assertIn(f"at exit: {rest}", calls)
                    self.assertEqual(1, status)
                    self.assertClosedWith(lines, f"failed (stopped before the end{verdict})", counts)
                    self.assertEqual([], running)
                    if hang.startswith("tests:"):
                        self.assertTestsTmpGone(calls)

    def test_signals_as_the_run_closes_by_itself(self):
        # The run ended, finished or stopped early, and is closing when the signals come: it closes
        # once, with its own verdict.
        self.hook_at_exit()
        for stub, status, verdict, counts in [
                ({}, 0, "passed (sanitizer: passed; optimised: passed)", "4 passed, 0 failed, 2 skipped"),
                ({"fail": "tests:build/test-o2"}, 1, "failed (sanitizer: passed; optimised: failed)",
                 "3 passed, 1 failed, 2 skipped"),
                ({"missing": "libtiff-dev", "uid": "1000"}, 1,
                 "failed (the packages the build needs are not installed: no build ran)",
                 "0 passed, 1 failed, 0 skipped")]:
            for signals in ("HUP HUP", "TERM HUP INT"):
                self.assertClosesOnceWithSignals(stub, signals, status, verdict, counts)

    def test_signals_once_the_closing_lines_are_said(self):
        # The run ended by itself and said its closing lines; the signals come as it exits. Taken
        # there, they closed the run again, saying its lines twice.
        self.hook_at_exit(after='    close_lines "$verdict" $flag || failed=1\n')
        for stub, signals, status, verdict, counts in [
                ({}, "HUP HUP", 0, "passed (sanitizer: passed; optimised: passed)", "4 passed, 0 failed, 2 skipped"),
                ({"fail": "tests:build/test-o2"}, "TERM HUP INT", 1, "failed (sanitizer: passed; optimised: failed)",
                 "3 passed, 1 failed, 2 skipped")]:
            self.assertClosesOnceWithSignals(stub, signals, status, verdict, counts)

    def assertClosesOnceWithSignals(self, stub, signals, status, verdict, counts):
        """test.sh run with the stand-ins of stub, at-exit sending it the signals where it is hooked,
        closes once, with its own verdict and status."""
        self.forget_calls()
        with self.subTest(stub=stub, signals=signals):
            ended, lines, _, calls = self.run_script(**stub, at_exit=signals)
            self.assertIn(f"at exit: {signals}", calls)
            self.assertEqual(status, ended)
            self.assertClosedWith(lines, verdict, counts)
            if "missing" not in stub:
                self.assertTestsTmpGone(calls)

    def test_ctrl_c_at_a_terminal_that_stops_background_writers(self):
        # A terminal with tostop stops a background process group at its first line: the step
        # must write all the same, and Ctrl-C typed there must stop the run.
        ready = pathlib.Path(f"{self.log}.ready")
        try:
            pid, terminal = pty.fork()
        except OSError as error:
            self.skipTest(f"no pseudo-terminal to type Ctrl-C at ({error})")
        if pid == 0:
            try:
                signal.signal(signal.SIGINT, signal.SIG_DFL)
                end_with_this_test()
                os.execve("/bin/bash", ["bash", "-c", f"stty tostop; exec bash '{self.script}'"],
                          self.environment({"hang": "build:build/test"}))
            finally:
                os._exit(127)
        # The terminal's session: its process group is the child's.
        RUNNING.add(pid)
        out = b""

        def read(until, seconds):
            nonlocal out
            deadline = time.monotonic() + seconds
            while time.monotonic() < deadline:
                if until():
                    return True
                if select.select([terminal], [], [], 0.01)[0]:
                    try:
                        data = os.read(terminal, 4096)
                    except OSError:
                        data = b""
                    if not data:
                        return True
                    out += data
            return False
        status = None
        try:
            read(ready.exists, WAIT_SECONDS)
            self.assertTrue(ready.exists(), out.decode(errors="replace"))
            os.write(terminal, b"\x03")
            self.assertTrue(read(lambda: False, WAIT_SECONDS),
                            f"test.sh went on for {WAIT_SECONDS} s after Ctrl-C: {out.decode(errors='replace')}")
            _, status = os.waitpid(pid, 0)
        finally:
            os.close(terminal)
            if status is None:
                stop_groups([pid])
                os.waitpid(pid, 0)
            RUNNING.discard(pid)
            self.end_step()
        status = os.waitstatus_to_exitcode(status)
        lines = out.decode(errors="replace").replace("\r", "").splitlines()
        self.assertEqual(1, status)
        self.assertClosedWith(lines, "failed (stopped before the end)", "0 passed, 1 failed, 0 skipped")
        self.assertIn("ninja: build stopped: interrupted by user.", "\n".join(lines[:-2]))
        self.assertFalse(any(call.startswith(("ctest", "stub:")) for call in self.calls()), self.calls())

    def test_each_build_keeps_what_ctest_printed_beside_its_report(self):
        # CTest writes its output where --output-log says, as this stand-in does. A build that fails
        # before its tests keeps no log of an earlier run.
        stub = self.bin / "ctest"
        stub.rename(self.bin / "ctest-stub")
        stub.write_text('#!/bin/sh\nprevious=""\nfor arg; do\n'
                        '  [ "$previous" = --output-log ] && echo "what ctest printed for $2" > "$arg"\n'
                        '  previous=$arg\ndone\nexec "$STUB_BIN/ctest-stub" "$@"\n')
        stub.chmod(stat.S_IRWXU)
        builds = self.script.parent.parent / "build"
        for fail, logged in [("", ["test", "test-o2"]), ("build:build/test", ["test-o2"])]:
            with self.subTest(fail=fail):
                for build in ("test", "test-o2"):
                    (builds / build).mkdir(parents=True, exist_ok=True)
                    (builds / build / "test.log").write_text("an earlier run's\n")
                status, _, _, _ = self.run_script(fail=fail)
                self.assertEqual(1 if fail else 0, status)
                for build in ("test", "test-o2"):
                    log, report = builds / build / "test.log", builds / build / "test-report.xml"
                    self.assertEqual(build in logged, report.exists(), build)
                    self.assertEqual(f"what ctest printed for build/{build}\n" if build in logged else None,
                                     log.read_text() if log.exists() else None, build)

    def test_counts_that_cannot_be_given_fail_the_run(self):
        # The report script fails at its count: both builds passed, yet the run cannot say so.
        report = self.script.parent / "skipped-tests.py"
        report.write_text("import sys, runpy\nif '--totals' in sys.argv: sys.exit(1)\n"
                          f"runpy.run_path({str(SCRIPTS / 'skipped-tests.py')!r}, run_name='__main__')\n")
        status, lines, _, _ = self.run_script()
        self.assertEqual(1, status)
        self.assertClosedWith(lines, "passed (sanitizer: passed; optimised: passed)", "0 passed, 1 failed, 0 skipped")


if __name__ == "__main__":
    end_with_a_stop()
    unittest.main()
