#!/usr/bin/env python3
"""scripts/check-test-leftovers.py on a scratch folder and a checkout of its own: what a run left
is found at any depth, whatever times it was copied with, what earlier runs left is not; and a
test outside the run (which the check could run beside) fails it."""
import os
import pathlib
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
CHECK = pathlib.Path(__file__).resolve().parent.parent / "check-test-leftovers.py"

LISTING = """{"kind": "ctestInfo", "tests": [
  {"name": "SourceRules.TestRunStarts", "properties": [{"name": "FIXTURES_SETUP", "value": ["zeq_test_run"]}]},
  {"name": "Inside.Run", "properties": [{"name": "FIXTURES_REQUIRED", "value": ["other", "zeq_test_run"]}]},
  {"name": "Outside.NoProperties"},
  {"name": "Outside.OtherFixture", "properties": [{"name": "FIXTURES_REQUIRED", "value": ["other"]}]},
  {"name": "SourceRules.ATestRunLeavesNothingBehind",
   "properties": [{"name": "FIXTURES_CLEANUP", "value": ["zeq_test_run"]}]}]}
"""


class LeftoverCheck(unittest.TestCase):
    def setUp(self):
        self.folder = pathlib.Path(tempfile.mkdtemp(prefix="leftover-check-"))
        self.scratch = self.folder / "build" / "test-tmp"
        self.source = self.folder / "source"
        (self.source / "scripts").mkdir(parents=True)
        self.scratch.mkdir(parents=True)
        self.stamp = self.folder / "build" / "test-run-started"

    def tearDown(self):
        shutil.rmtree(self.folder)

    def check(self, *extra):
        result = subprocess.run([sys.executable, str(CHECK), "check", str(self.stamp), str(self.scratch),
                                 str(self.source), *extra], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        return result.returncode, result.stdout

    def start_after(self, earlier):
        """Starts the run once the file system's clock has passed what earlier made: a file made at
        the same tick would count as the run's own."""
        last = max(max(p.stat().st_mtime_ns, p.stat().st_ctime_ns) for p in earlier)
        probe = self.folder / "probe"
        while True:
            probe.write_text("tick")
            if probe.stat().st_mtime_ns > last:
                break
        probe.unlink()
        subprocess.run([sys.executable, str(CHECK), "start", str(self.stamp)], check=True)

    def test_what_this_run_left_is_found_what_earlier_runs_left_is_not(self):
        old_empty = self.scratch / "earlier" / "empty"
        old_empty.mkdir(parents=True)
        old_cache = self.source / "scripts" / "tests" / "__pycache__"
        old_cache.mkdir(parents=True)
        (old_cache / "old.pyc").write_text("")
        template = self.folder / "template" / "deep"
        template.mkdir(parents=True)
        self.start_after([old_empty, old_cache, template])

        deep = self.scratch / "zeqtulo" / "Suite" / "Case" / "0"
        deep.mkdir(parents=True)
        kept = self.scratch / "kept"
        kept.mkdir()
        (kept / "out.zeq").write_text("kept for a look")
        # Copied in with the times it had before the run began, as cp -a copies.
        shutil.copytree(self.folder / "template", self.scratch / "copied", copy_function=shutil.copy2)
        shutil.copystat(template, self.scratch / "copied" / "deep")
        (self.source / "scripts" / "__pycache__").mkdir()
        status, out = self.check()
        self.assertEqual(1, status, out)
        self.assertEqual(sorted([f"{deep}: an empty folder a test left",
                                 f"{self.scratch / 'copied' / 'deep'}: an empty folder a test left",
                                 f"{self.source / 'scripts' / '__pycache__'}: a Python cache a test left in the checkout"]),
                         sorted(out.splitlines()))

        # Emptied, the scratch folder passes; a cache written into an earlier one counts.
        shutil.rmtree(self.scratch / "zeqtulo")
        shutil.rmtree(self.scratch / "copied")
        shutil.rmtree(self.source / "scripts" / "__pycache__")
        self.assertEqual(0, self.check()[0])
        (old_cache / "new.pyc").write_text("")
        self.assertEqual(1, self.check()[0])

    def test_a_test_outside_the_run_fails_the_check(self):
        self.start_after([self.scratch])
        ctest = self.folder / "ctest"
        (self.folder / "listing.json").write_text(LISTING)
        ctest.write_text(f"#!/bin/sh\n[ \"$1 $3\" = '--show-only=json-v1 {self.folder}' ] || exit 3\n"
                         f"cat '{self.folder / 'listing.json'}'\n")
        ctest.chmod(stat.S_IRWXU)
        status, out = self.check("--ctest", str(ctest), "--build", str(self.folder))
        self.assertEqual(1, status, out)
        self.assertEqual(["Outside.NoProperties", "Outside.OtherFixture"],
                         [line.split(":")[0] for line in out.splitlines()])
        # Tests that cannot be listed are no pass.
        ctest.write_text("#!/bin/sh\nexit 1\n")
        self.assertEqual(2, self.check("--ctest", str(ctest), "--build", str(self.folder))[0])


if __name__ == "__main__":
    unittest.main()
