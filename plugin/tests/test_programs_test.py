#!/usr/bin/env python3
"""The plug-in test programs as a developer runs them: directly and whole, and two runs side by side
in one build folder.

    test_programs_test.py <import tests> <shell tests> <shell tests' working folder>

Run directly (no ZEQ_TEST_TMP), a run that loads the module and then loads a copy of it (the copy
another user can reach) passes, and leaves nothing in its temporary folder (TMPDIR). Two runs of the
same plug-in tests at once, with one test-tmp (ZEQ_TEST_TMP) as in one build folder, and in the
folder CTest runs them in (the checkout), both pass; neither writes in that folder nor in HOME, and
having passed they leave nothing in test-tmp.
"""
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "scripts" / "tests"))
import ending  # noqa: E402
from scratch import WAIT_SECONDS  # noqa: E402

IMPORT_TESTS, SHELL_TESTS, WORKING_FOLDER = (None, None, None)
# A test that imports through the module (which keeps it loaded), then one that loads its copy.
COPY_AFTER_MODULE = "CommandsTest.ImportSetsThePlaybackRangeFromTheTake:CommandsLinksTest.*"
# Tests that keep settings in the plug-in's folder, unload and load the module again.
SETTINGS = "ModuleTest.SettingsSurviveAReload:OptionCommandTest.*:Commands/OptionCommand.*:TranslatorModuleTest.*"


def start(program, arguments, environment, folder, output):
    """The program started, ended with this test however it is stopped (ending.start)."""
    return ending.start([program, *arguments], cwd=folder, env=environment, stdout=output, stderr=subprocess.STDOUT)


def finish(process):
    """The process's exit status; it and what it started are ended when it runs past the bound (a run
    that hangs fails the test)."""
    return ending.finish(process, WAIT_SECONDS)


def listing(folder):
    """Every path below folder."""
    return {str(pathlib.Path(d, n).relative_to(folder)) for d, dirs, files in os.walk(folder) for n in dirs + files}


class TestPrograms(unittest.TestCase):
    def setUp(self):
        root = os.environ.get("ZEQ_TEST_TMP") or None
        if root:
            os.makedirs(root, exist_ok=True)
        self.folder = pathlib.Path(tempfile.mkdtemp(prefix="test-programs-", dir=root))
        # Another user passes it: tests that act as one make their folders in the temporary folder.
        self.folder.chmod(0o755)
        self.home = self.folder / "home"
        self.home.mkdir()
        self.environment = {k: v for k, v in os.environ.items() if k not in ("XDG_CONFIG_HOME", "ZEQ_TEST_TMP")}
        self.environment["HOME"] = str(self.home)

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def run_program(self, program, filter_, extra=(), environment=None):
        with open(self.folder / "output", "w+") as output:
            process = start(program, [f"--gtest_filter={filter_}", *extra], environment or self.environment,
                            WORKING_FOLDER, output)
            status = finish(process)
            output.seek(0)
            return status, output.read()

    def test_a_copy_of_the_module_loads_after_the_module_and_nothing_is_left(self):
        temporary = self.folder / "tmp"
        temporary.mkdir(mode=0o755)
        environment = dict(self.environment, TMPDIR=str(temporary))
        status, output = self.run_program(IMPORT_TESTS, COPY_AFTER_MODULE, environment=environment)
        self.assertEqual(0, status, output)
        # As another user than root, the copy's test skips (it needs root's files).
        self.assertRegex(output, r"\[  PASSED  \] (2 tests|1 test)\.")
        self.assertNotIn("[  FAILED  ]", output)
        self.assertEqual(set(), listing(temporary), "left in the temporary folder by a direct run")
        self.assertEqual(set(), listing(self.home))

    def test_two_runs_side_by_side_in_one_build_folder(self):
        scratch = self.folder / "test-tmp"
        environment = dict(self.environment, ZEQ_TEST_TMP=str(scratch), TMPDIR=str(self.folder))
        before = listing(WORKING_FOLDER)
        outputs = [open(self.folder / f"run{i}", "w+") for i in (1, 2)]
        try:
            runs = [start(SHELL_TESTS, [f"--gtest_filter={SETTINGS}", "--gtest_repeat=5"], environment,
                          WORKING_FOLDER, out) for out in outputs]
            statuses = [finish(run) for run in runs]
            for status, out in zip(statuses, outputs):
                out.seek(0)
                self.assertEqual(0, status, out.read())
        finally:
            for out in outputs:
                out.close()
        self.assertEqual(set(), listing(WORKING_FOLDER) - before, "written in the folder the tests run in")
        self.assertEqual(set(), listing(self.home), "written in HOME")
        # Runs that pass keep nothing for a look.
        self.assertEqual(set(), listing(scratch), "left in ZEQ_TEST_TMP by runs that passed")


if __name__ == "__main__":
    IMPORT_TESTS, SHELL_TESTS, WORKING_FOLDER = (os.path.abspath(a) for a in sys.argv[1:4])
    unittest.main(argv=sys.argv[:1] + sys.argv[4:])
