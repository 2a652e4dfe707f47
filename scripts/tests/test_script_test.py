#!/usr/bin/env python3
"""scripts/test.sh over stand-ins for the package tools, CMake and CTest: every run ends with
its two closing lines (the verdict, then the counts), and with a non-zero status wherever
anything failed: a missing package, a failed install, a build step, a test, a signal."""
import os
import pathlib
import shutil
import stat
import subprocess
import tempfile
import unittest

SCRIPTS = pathlib.Path(__file__).resolve().parent.parent

# Each stand-in logs its call to $STUB_LOG and fails where $STUB_FAIL names its step
# ("configure:build/test", "build:build/test-o2", "tests:build/test", "signal:build/test-o2").
STUBS = {
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
case " $STUB_FAIL " in *" $step "*) exit 1;; esac
exit 0
""",
    "ctest": """#!/bin/sh
echo "ctest $*" >> "$STUB_LOG"
build=$2
while [ $# -gt 0 ]; do [ "$1" = --output-junit ] && report=$2; shift; done
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

    def run_script(self, **stub):
        """test.sh's status, its output's lines and the stand-ins' calls."""
        env = {k: v for k, v in os.environ.items() if not k.startswith(("ZEQ_", "STUB_"))}
        env.update({"PATH": f"{self.bin}:{env.get('PATH', '/usr/bin:/bin')}", "STUB_LOG": str(self.log)})
        env.update({f"STUB_{k.upper()}": v for k, v in stub.items()})
        result = subprocess.run(["bash", str(self.script)], env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True, timeout=120)
        calls = self.log.read_text().splitlines() if self.log.exists() else []
        return result.returncode, result.stdout.splitlines(), result.stderr, calls

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
        status, lines, _, _ = self.run_script(fail="signal:build/test-o2")
        self.assertNotEqual(0, status)
        self.assertClosedWith(lines, "failed (stopped before the end; sanitizer: passed)",
                              "2 passed, 1 failed, 1 skipped")


if __name__ == "__main__":
    unittest.main()
