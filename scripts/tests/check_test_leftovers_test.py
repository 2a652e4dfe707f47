#!/usr/bin/env python3
"""scripts/check-test-leftovers.py on a build's test-tmp and a checkout of its own: what a run left
in its own folder is found at any depth, whatever times it was copied with; what earlier runs left,
and what another run at the same time is making in its own folder, is not; a test outside the run
(which the check could run beside) fails it, and so does a check not given the build's tests to look
at or its run's folder. in-test-run.sh gives every test of one CTest run one folder, and each run its
own."""
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
CHECK = pathlib.Path(__file__).resolve().parent.parent / "check-test-leftovers.py"
IN_RUN = CHECK.parent / "in-test-run.sh"

# Every test of the build inside the run.
INSIDE = """{"kind": "ctestInfo", "tests": [
  {"name": "Inside.Run", "properties": [{"name": "FIXTURES_REQUIRED", "value": ["zeq_test_run"]}]}]}
"""
LISTING = """{"kind": "ctestInfo", "tests": [
  {"name": "SourceRules.TestRunStarts", "properties": [{"name": "FIXTURES_SETUP", "value": ["zeq_test_run"]}]},
  {"name": "Inside.Run", "properties": [{"name": "FIXTURES_REQUIRED", "value": ["other", "zeq_test_run"]}]},
  {"name": "Outside.NoProperties"},
  {"name": "Outside.OtherFixture", "properties": [{"name": "FIXTURES_REQUIRED", "value": ["other"]}]},
  {"name": "Twice.Named", "properties": [{"name": "FIXTURES_REQUIRED", "value": ["zeq_test_run"]}]},
  {"name": "Twice.Named", "properties": [{"name": "FIXTURES_REQUIRED", "value": ["zeq_test_run"]}]},
  {"name": "SourceRules.ATestRunLeavesNothingBehind",
   "properties": [{"name": "FIXTURES_CLEANUP", "value": ["zeq_test_run"]}]}]}
"""




class LeftoverCheck(unittest.TestCase):
    def setUp(self):
        self.folder = pathlib.Path(tempfile.mkdtemp(prefix="leftover-check-", dir=scratch_root()))
        self.runs = self.folder / "build" / "test-tmp"
        # This run's folder, as in-test-run.sh names it.
        self.scratch = self.runs / "run-4242-1234567"
        self.source = self.folder / "source"
        (self.source / "scripts").mkdir(parents=True)
        self.scratch.mkdir(parents=True)
        # CTest's listing of the build's tests, as the check asks it.
        self.ctest = self.folder / "ctest"
        self.listing = self.folder / "listing.json"
        self.listing.write_text(INSIDE)
        self.ctest.write_text(f"#!/bin/sh\n[ \"$1 $3\" = '--show-only=json-v1 {self.folder}' ] || exit 3\n"
                              f"cat '{self.listing}'\n")
        self.ctest.chmod(stat.S_IRWXU)

    def tearDown(self):
        shutil.rmtree(self.folder)

    def script(self, *arguments, run=True):
        """The check run with arguments in this run (its folder ZEQ_TEST_TMP, as in-test-run.sh gives
        it): status and output."""
        environment = {k: v for k, v in os.environ.items() if k != "ZEQ_TEST_TMP"}
        if run:
            environment["ZEQ_TEST_TMP"] = str(self.scratch)
        result = subprocess.run([sys.executable, str(CHECK), *arguments], stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True, env=environment)
        return result.returncode, result.stdout

    def check(self, *extra):
        """The check's status and output; given the build's tests unless extra says otherwise."""
        extra = extra or ("--ctest", str(self.ctest), "--build", str(self.folder))
        return self.script("check", str(self.source), *extra)

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
        self.assertEqual(0, self.script("start")[0])

    def test_what_this_run_left_is_found_what_earlier_and_other_runs_left_is_not(self):
        old_empty = self.runs / "run-17-99" / "earlier" / "empty"
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
        # Another run in the same build folder, started since, has a test's fresh folder in progress.
        (self.runs / "run-4343-1234999" / "stopped-bench-x1y2z3").mkdir(parents=True)
        status, out = self.check()
        self.assertEqual(1, status, out)
        self.assertEqual(sorted([f"{deep}: an empty folder a test left",
                                 f"{self.scratch / 'copied' / 'deep'}: an empty folder a test left",
                                 f"{self.source / 'scripts' / '__pycache__'}: a Python cache a test left in the checkout"]),
                         sorted(out.splitlines()))
        # The run is over: its stamp went, what it left stays for a look.
        self.assertEqual(2, self.check()[0])
        self.assertTrue(deep.is_dir())

        # Emptied, the run's folder passes, and goes; a cache written into an earlier one counts.
        shutil.rmtree(self.scratch / "zeqtulo")
        shutil.rmtree(self.scratch / "copied")
        shutil.rmtree(kept)
        shutil.rmtree(self.source / "scripts" / "__pycache__")
        self.start_after([old_cache])
        self.assertEqual(0, self.check()[0])
        self.assertFalse(self.scratch.exists())
        self.assertEqual(["run-17-99", "run-4343-1234999"], sorted(p.name for p in self.runs.iterdir()))
        self.start_after([old_cache])
        (old_cache / "new.pyc").write_text("")
        self.assertEqual(1, self.check()[0])

    def test_a_test_outside_the_run_fails_the_check(self):
        self.start_after([self.scratch])
        self.listing.write_text(LISTING)
        status, out = self.check()
        self.assertEqual(1, status, out)
        # Two tests of one name: the check is ordered after one of them alone.
        self.assertEqual(["Outside.NoProperties", "Outside.OtherFixture", "Twice.Named"],
                         [line.split(":")[0] for line in out.splitlines()])
        # Tests that cannot be listed are no pass, and a check not given them is no check.
        self.script("start")
        self.ctest.write_text("#!/bin/sh\nexit 1\n")
        self.assertEqual(2, self.check()[0])
        self.assertEqual(2, self.check("--verbose")[0])
        self.assertEqual(2, self.script("check", str(self.source))[0])
        # Nor is one not told its run's folder.
        self.ctest.write_text(f"#!/bin/sh\ncat '{self.listing}'\n")
        self.listing.write_text(INSIDE)
        self.assertEqual(2, self.script("check", str(self.source), "--ctest", str(self.ctest), "--build",
                                        str(self.folder), run=False)[0])
        self.assertEqual(0, self.check()[0])

    @unittest.skipUnless(shutil.which("git"), "needs git, to tell the checkout's own files")
    def test_what_a_test_made_in_the_checkout_is_found(self):
        git = ["git", "-C", str(self.source), "-c", "user.name=t", "-c", "user.email=t@t"]
        (self.source / ".gitignore").write_text("/build/\n")
        (self.source / "plugin").mkdir()
        (self.source / "plugin" / "kept.cpp").write_text("// tracked\n")
        earlier = self.source / "notes.txt"
        earlier.write_text("the developer's own, from before the run")
        subprocess.run(["git", "init", "-q", str(self.source)], check=True)
        subprocess.run(git + ["add", ".gitignore", "plugin/kept.cpp"], check=True)
        subprocess.run(git + ["commit", "-qm", "checkout"], check=True)
        self.start_after([earlier, self.source / "plugin" / "kept.cpp"])

        # A test without a folder of its own writes relative names where it runs.
        stray = self.source / "plugin" / "case0"
        stray.mkdir()
        (stray / "zeqtulolog.txt").write_text("log")
        settings = self.source / "plugin" / "zeqplugins6.0registry.txt"
        settings.write_text("[Tulo60]\n")
        # The build folder, ignored or not, is the build's.
        (self.source / "build" / "test-tmp").mkdir(parents=True)
        build = self.source / "out"
        build.mkdir()
        (build / "test-report.xml").write_text("")
        self.ctest.write_text(f"#!/bin/sh\n[ \"$3\" = '{build}' ] || exit 3\ncat '{self.listing}'\n")
        status, out = self.check("--ctest", str(self.ctest), "--build", str(build))
        self.assertEqual(1, status, out)
        self.assertEqual(sorted([f"{stray}: made in the checkout by a test",
                                 f"{settings}: made in the checkout by a test"]), sorted(out.splitlines()))
        shutil.rmtree(stray)
        settings.unlink()
        self.script("start")
        self.assertEqual(0, self.check("--ctest", str(self.ctest), "--build", str(build))[0])

    def test_a_runs_folder_is_0755_whatever_the_umask(self):
        # The host loads no plug-in from below a folder that a group which may hold other users may
        # write; the run's tests load theirs from below their run's folder.
        runs = self.folder / "fresh" / "test-tmp"
        previous = os.umask(0o002)
        try:
            made = subprocess.run(["sh", str(IN_RUN), "sh", "-c", 'printf %s "$ZEQ_TEST_TMP"'], text=True,
                                  stdout=subprocess.PIPE, env={**os.environ, "ZEQ_TEST_RUNS": str(runs)}, check=True)
        finally:
            os.umask(previous)
        run = pathlib.Path(made.stdout)
        self.assertEqual(runs, run.parent)
        self.assertRegex(run.name, r"^run-\d+-\d+$")
        for folder in (runs, run):
            self.assertEqual(0o755, stat.S_IMODE(folder.stat().st_mode), folder)


if __name__ == "__main__":
    unittest.main()
