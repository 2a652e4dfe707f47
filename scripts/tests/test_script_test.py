#!/usr/bin/env python3
"""scripts/test.sh over stand-ins for the package tools, CMake and CTest: every run ends with
its two closing lines (the verdict, then the counts), and with a non-zero status wherever
anything failed: a missing package, a failed install, a build step, a test, a signal."""
import os
import pathlib
import pty
import select
import shutil
import signal
import stat
import subprocess
import tempfile
import time
import unittest

SCRIPTS = pathlib.Path(__file__).resolve().parent.parent

# Each stand-in logs its call to $STUB_LOG and fails where $STUB_FAIL names its step
# ("configure:build/test", "build:build/test-o2", "tests:build/test", "signal:build/test-o2").
# Where $STUB_HANG names its step, it runs until it is stopped, as a long build does, with a
# worker of its own as CMake runs Ninja: both note their process ids, then the step says it is
# ready. Like CMake and Ninja, the step exits with a status on Ctrl-C; on SIGTERM it ends at once,
# its worker a moment later, saying that the build stopped.
STUBS = {
    "hang.sh": """case " $STUB_HANG " in *" $step "*) ;; *) return 0;; esac
trap 'echo "stub: $step interrupted" >> "$STUB_LOG"; exit 2' INT
sh -c 'trap "sleep 0.5; echo \\"ninja: build stopped: interrupted by user.\\"; exit 2" TERM
       sleep 300 & echo $$ $! >> "$STUB_LOG.pids"; wait' &
worker=$!
echo $$ >> "$STUB_LOG.pids"
while [ $(wc -l < "$STUB_LOG.pids") -lt 2 ]; do sleep 0.01; done
echo "[1/2] $step under way"
: > "$STUB_LOG.ready"
wait $worker
echo "stub: $step ran to its end" >> "$STUB_LOG"
exit 0
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
build=$2
while [ $# -gt 0 ]; do [ "$1" = --output-junit ] && report=$2; shift; done
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
} > "$report"
exit $((failed * 8))
""",
}


def runs(pid):
    """Whether the process runs (a zombie has ended)."""
    try:
        return pathlib.Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, IndexError):
        return False


class TestScript(unittest.TestCase):
    def setUp(self):
        self.folder = pathlib.Path(tempfile.mkdtemp(prefix="test-script-"))
        tree = self.folder / "tree" / "scripts"
        tree.mkdir(parents=True)
        for name in ("test.sh", "deps.sh", "skipped-tests.py"):
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

    def environment(self, stub):
        env = {k: v for k, v in os.environ.items() if not k.startswith(("ZEQ_", "STUB_"))}
        env.update({"PATH": f"{self.bin}:{env.get('PATH', '/usr/bin:/bin')}", "STUB_LOG": str(self.log),
                    "STUB_BIN": str(self.bin)})
        env.update({f"STUB_{k.upper()}": v for k, v in stub.items()})
        return env

    def calls(self):
        return self.log.read_text().splitlines() if self.log.exists() else []

    def run_script(self, **stub):
        """test.sh's status, its output's lines and the stand-ins' calls."""
        result = subprocess.run(["bash", str(self.script)], env=self.environment(stub), stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True, timeout=120)
        return result.returncode, result.stdout.splitlines(), result.stderr, self.calls()

    def stop_script(self, hang, signal_number, whole_group, **stub):
        """test.sh run until the step hang is under way, then sent the signal (to its process group,
        as Ctrl-C sends it, or to the script alone): its status, its output's lines, the calls, and
        the processes of the step still running after the script ended."""
        ready = pathlib.Path(f"{self.log}.ready")
        # Its own process group, Ctrl-C's default action whatever this test inherited.
        script = subprocess.Popen(["bash", str(self.script)], env=self.environment(dict(stub, hang=hang)),
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, process_group=0,
                                  preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
        try:
            # The step says when it is under way; a script that ends before is a failure of its own.
            for _ in range(6000):
                if ready.exists() or script.poll() is not None:
                    break
                time.sleep(0.01)
            self.assertTrue(ready.exists(), f"{hang} never started: {self.calls()}")
            if whole_group:
                os.killpg(script.pid, signal_number)
            else:
                script.send_signal(signal_number)
            out, _ = script.communicate(timeout=120)
        finally:
            if script.poll() is None:
                os.killpg(script.pid, signal.SIGKILL)
                script.wait()
        pids = pathlib.Path(f"{self.log}.pids").read_text().split()
        return script.returncode, out.splitlines(), self.calls(), [pid for pid in pids if runs(pid)]

    def assertClosedWith(self, lines, verdict, counts):
        self.assertGreaterEqual(len(lines), 2, lines)
        self.assertEqual([f"zeq builds: {verdict}", f"tests: {counts}"], lines[-2:], "\n".join(lines))
        self.assertEqual(1, sum(line.startswith("zeq builds: ") for line in lines), "\n".join(lines))

    def test_both_builds_passing(self):
        status, lines, _, calls = self.run_script()
        self.assertEqual(0, status)
        self.assertClosedWith(lines, "passed (sanitizer: passed; optimised: passed)", "4 passed, 0 failed, 2 skipped")
        self.assertEqual(2, sum(call.startswith("ctest ") for call in calls))

    def test_a_missing_package_without_root(self):
        status, lines, errors, calls = self.run_script(missing="libtiff-dev", uid="1000")
        self.assertNotEqual(0, status)
        self.assertIn("apt-get install -y libtiff-dev", errors)
        self.assertClosedWith(lines, "failed (the packages the build needs are not installed: no build ran)",
                              "0 passed, 1 failed, 0 skipped")
        self.assertEqual([], calls)

    def test_a_failed_install_as_root(self):
        status, lines, _, calls = self.run_script(missing="cmake nettle-dev", uid="0", install_fails="1")
        self.assertNotEqual(0, status)
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
                self.assertNotEqual(0, status)
                self.assertClosedWith(lines, f"failed ({verdict})", counts)

    def test_a_run_stopped_by_a_signal(self):
        # Sent by the tests of the second build as they end: bash's own handling of a signal it
        # has no trap for could end the script without its closing lines.
        status, lines, _, _ = self.run_script(fail="signal:build/test-o2")
        self.assertNotEqual(0, status)
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
            with self.subTest(hang=hang, signal=number.name, whole_group=whole_group):
                self.log.unlink(missing_ok=True)
                for extra in (".ready", ".pids"):
                    pathlib.Path(f"{self.log}{extra}").unlink(missing_ok=True)
                status, lines, calls, running = self.stop_script(hang, number, whole_group)
                self.assertNotEqual(0, status)
                self.assertClosedWith(lines, f"failed (stopped before the end{verdict})", counts)
                # Nothing after the stopped step started, nor went on, nor spoke after the verdict.
                self.assertEqual([], running)
                self.assertFalse(any(call.startswith(later) for call in calls), calls)
                self.assertFalse(any(call.startswith("stub:") for call in calls), calls)
                self.assertIn("ninja: build stopped: interrupted by user.", lines[:-2])

    def test_ctrl_c_at_a_terminal_that_stops_background_writers(self):
        # A terminal with tostop stops a background process group at its first line: the step
        # must write all the same, and Ctrl-C typed there must stop the run.
        ready = pathlib.Path(f"{self.log}.ready")
        try:
            pid, terminal = pty.fork()
        except OSError as error:
            self.skipTest(f"no pseudo-terminal to type Ctrl-C at ({error})")
        if pid == 0:
            signal.signal(signal.SIGINT, signal.SIG_DFL)
            os.execve("/bin/bash", ["bash", "-c", f"stty tostop; exec bash '{self.script}'"],
                      self.environment({"hang": "build:build/test"}))
        out = b""

        def read(until):
            nonlocal out
            for _ in range(6000):
                if until():
                    return
                if select.select([terminal], [], [], 0.01)[0]:
                    try:
                        data = os.read(terminal, 4096)
                    except OSError:
                        data = b""
                    if not data:
                        return
                    out += data
        try:
            read(ready.exists)
            self.assertTrue(ready.exists(), out.decode(errors="replace"))
            os.write(terminal, b"\x03")
            read(lambda: False)
            _, status = os.waitpid(pid, 0)
        finally:
            os.close(terminal)
        lines = out.decode(errors="replace").replace("\r", "").splitlines()
        self.assertNotEqual(0, status)
        self.assertClosedWith(lines, "failed (stopped before the end)", "0 passed, 1 failed, 0 skipped")
        self.assertIn("ninja: build stopped: interrupted by user.", "\n".join(lines[:-2]))
        self.assertFalse(any(call.startswith(("ctest", "stub:")) for call in self.calls()), self.calls())

    def test_counts_that_cannot_be_given_fail_the_run(self):
        # The report script fails at its count: both builds passed, yet the run cannot say so.
        report = self.script.parent / "skipped-tests.py"
        report.write_text("import sys, runpy\nif '--totals' in sys.argv: sys.exit(1)\n"
                          f"runpy.run_path({str(SCRIPTS / 'skipped-tests.py')!r}, run_name='__main__')\n")
        status, lines, _, _ = self.run_script()
        self.assertNotEqual(0, status)
        self.assertClosedWith(lines, "passed (sanitizer: passed; optimised: passed)", "0 passed, 1 failed, 0 skipped")


if __name__ == "__main__":
    unittest.main()
