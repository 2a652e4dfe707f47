#!/usr/bin/env python3
"""scripts/run.sh over stand-ins for CMake and the main job's programs: the terminal gets the
stages and the verdict alone, and the log it names gets all the stages printed (the host's results,
the listed differences) with those lines; a failing stage shows its last lines, its name and the
log, and the status is 1."""
import os
import pathlib
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from scratch import scratch_root  # noqa: E402

SCRIPTS = pathlib.Path(__file__).resolve().parent.parent
SECONDS = 60

# Each stand-in prints what its program would, at length; $STUB_FAIL names one that fails.
STUBS = {
    "bin/dpkg-query": "#!/bin/sh\nprintf 'install ok installed'\n",
    "bin/cmake": "#!/bin/sh\nfor i in $(seq 40); do echo \"-- configuring line $i\"; done\n",
    "build/tools/zeqroundtrip": "#!/bin/sh\necho 'Round trip: 9 curves of 1000 keys'\n",
    "build/host/tulo-standin": """#!/bin/sh
n=0
for a in "$@"; do
  [ "$a" = -c ] || continue
  n=$((n + 1))
  echo "// Progress: -c argument $n started"
  echo "// Result: 1"
  echo "// Progress: -c argument $n done"
done
""",
    "build/tools/zeqcompare": """#!/bin/sh
for i in $(seq 30); do echo "  expected    files Model Model::leg.geometry[$i] different: 0.75 != 1"; done
if [ "$STUB_FAIL" = zeqcompare ]; then
  echo "  UNEXPECTED  files Model Model::arm different"
  echo "Comparison failed: 31 difference(s), 1 unexpected"
  exit 1
fi
echo "Comparison passed: 30 difference(s), 0 unexpected, 0 from known faults, 0 stale entries"
""",
    "build/plugin/libzeqtulo.so": "",
}


class RunScript(unittest.TestCase):
    def setUp(self):
        self.folder = pathlib.Path(tempfile.mkdtemp(prefix="run-script-", dir=scratch_root()))
        scripts = self.folder / "tree" / "scripts"
        scripts.mkdir(parents=True)
        for name in ("run.sh", "deps.sh", "plugin-road.sh"):
            shutil.copy(SCRIPTS / name, scripts / name)
        for rel, text in STUBS.items():
            path = self.folder / rel
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text)
            path.chmod(stat.S_IRWXU)
        self.out = self.folder / "out"
        self.log = self.out / "main-job.log"

    def tearDown(self):
        shutil.rmtree(self.folder)

    def run_script(self, **stub):
        env = {k: v for k, v in os.environ.items() if not k.startswith(("ZEQ_", "STUB_"))}
        env.update({"PATH": f"{self.folder / 'bin'}:{env.get('PATH', '/usr/bin:/bin')}",
                    "ZEQ_RUN_BUILD_DIR": str(self.folder / "build"), "ZEQ_RUN_OUTPUT_DIR": str(self.out)})
        env.update({f"STUB_{k.upper()}": v for k, v in stub.items()})
        result = subprocess.run(["bash", str(self.folder / "tree" / "scripts" / "run.sh")], env=env,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=SECONDS)
        return result.returncode, result.stdout.splitlines()

    def stage_lines(self, lines):
        return [line for line in lines if line.startswith("== stage ")]

    def test_the_terminal_gets_the_stages_and_the_verdict(self):
        status, lines = self.run_script()
        self.assertEqual(0, status, lines)
        self.assertEqual(f"Main job: output in {self.out}", lines[0])
        self.assertEqual(f"Main job passed; the whole output is in {self.log}", lines[-1])
        stages = ["build", "SDK round trip", "plug-in road", "comparison"]
        self.assertEqual(8, len(lines) - 2, lines)
        for number, name in enumerate(stages, 1):
            self.assertEqual(f"== stage {number}/4, {name} ...", lines[2 * number - 1])
            self.assertRegex(lines[2 * number], rf"^== stage {number}/4, {name}: done in \d+\.\d\d s$")
        # The rest is the log's, in order, with the same lines.
        log = self.log.read_text().splitlines()
        self.assertEqual(lines, [line for line in log if line.startswith(("== stage ", "Main job"))])
        self.assertEqual(7, sum(line == "// Result: 1" for line in log))
        self.assertEqual(30, sum("expected    files" in line for line in log))
        self.assertIn("-- configuring line 40", log)
        self.assertIn("Comparison passed: 30 difference(s), 0 unexpected, 0 from known faults, 0 stale entries", log)
        self.assertLess(log.index("Comparison passed: 30 difference(s), 0 unexpected, 0 from known faults, "
                                  "0 stale entries"), log.index(lines[-2]))

    def test_a_failing_stage_shows_its_last_lines(self):
        status, lines = self.run_script(fail="zeqcompare")
        self.assertEqual(1, status, lines)
        self.assertRegex(lines[-18], r"^== stage 4/4, comparison: FAILED after \d+\.\d\d s$")
        self.assertEqual("its last lines:", lines[-17])
        self.assertEqual("  Comparison failed: 31 difference(s), 1 unexpected", lines[-2])
        self.assertEqual("    UNEXPECTED  files Model Model::arm different", lines[-3])
        self.assertEqual(f"run: the main job stopped at stage \"comparison\"; the whole output is in {self.log}",
                         lines[-1])
        self.assertEqual(8, len(self.stage_lines(lines)), lines)
        log = self.log.read_text().splitlines()
        self.assertEqual([lines[-18], lines[-1]], log[-2:])


if __name__ == "__main__":
    unittest.main()
