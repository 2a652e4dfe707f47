#!/usr/bin/env python3
"""The test lists of a build are made once, when a test program is built: runs of CTest started
together right after a program changed each list every test once, and leave the list as it was
(TestLists). A listing takes as long as a loaded machine needs, and one that fails or takes minutes
fails the build, saying that the program's listing failed and why (TestListing).

    test_lists_test.py <cmake> <ctest> [TestLists | TestListing]

A project of its own, in a fresh folder, adds a small GoogleTest program with the project's
zeq_add_test (cmake/ZeqHelpers.cmake); each round, once the program changed (rebuilt, or only
touched as a relink leaves it), eight runs of `ctest -N` start at once. A list made when CTest runs
instead is written by every run that finds it older than its program, each appending to it. The
program's listing, run as it is built, sleeps LISTED_SLEEP seconds first and exits with
LISTED_STATUS where the build's environment sets them.
"""
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from scratch import WAIT_SECONDS, scratch_root  # noqa: E402

HELPERS = pathlib.Path(__file__).resolve().parent.parent.parent / "cmake"
CMAKE, CTEST = "cmake", "ctest"
TESTS = 60
RUNS = 8
ROUNDS = 6

PROJECT = f"""cmake_minimum_required(VERSION 3.25)
project(lists LANGUAGES CXX)
set(ZEQ_BUILD_TESTS ON)
enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)
list(APPEND CMAKE_MODULE_PATH {HELPERS})
include(ZeqHelpers)
zeq_add_test(listed SOURCES listed.cpp)
"""


# Where the build's environment asks for it, the program is slow to start, or fails at once.
KNOBS = """#include <gtest/gtest.h>
#include <cstdlib>
#include <unistd.h>
static const int knobs = [] {
    if (const char* seconds = std::getenv("LISTED_SLEEP")) ::sleep(std::atoi(seconds));
    if (const char* status = std::getenv("LISTED_STATUS")) std::_Exit(std::atoi(status));
    return 0;
}();
"""
# How long CMake lets a listing take unless told otherwise.
CMAKE_DEFAULT_SECONDS = 5


def source(version, tests=TESTS):
    cases = "".join(f"TEST(Listed, Case{i}) {{ EXPECT_EQ({version}, {version}); }}\n" for i in range(tests))
    return KNOBS + cases


class Project(unittest.TestCase):
    """The project, in a fresh folder, configured and built by step()."""
    def setUp(self):
        self.folder = pathlib.Path(tempfile.mkdtemp(prefix="test-lists-", dir=scratch_root()))
        self.source = self.folder / "source"
        self.build = self.folder / "build"
        self.source.mkdir()
        (self.source / "CMakeLists.txt").write_text(PROJECT)
        (self.source / "listed.cpp").write_text(source(0))

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def step(self, *command, status=0, env=None):
        """What the command printed, run with the listing's knobs env sets alone; it ended with the
        status."""
        environment = {k: v for k, v in os.environ.items() if not k.startswith(("LISTED_", "ZEQ_TEST_LISTING"))}
        # Bounded: a step that hangs fails the test.
        result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                                timeout=WAIT_SECONDS, env=dict(environment, **(env or {})))
        self.assertEqual(status, result.returncode, result.stdout)
        return result.stdout

    def listed(self):
        """The test names `ctest -N` lists."""
        return sorted(re.findall(r"Test +#\d+: (\S+)", self.step(CTEST, "-N", "--test-dir", str(self.build))))


class TestLists(Project):
    def listings(self):
        """What RUNS runs of `ctest -N` started at once list: the test names of each."""
        runs = [subprocess.Popen([CTEST, "-N", "--test-dir", str(self.build)], stdout=subprocess.PIPE,
                                 stderr=subprocess.STDOUT, text=True) for _ in range(RUNS)]
        outputs = []
        for run in runs:
            try:
                out, _ = run.communicate(timeout=WAIT_SECONDS)
            finally:
                if run.poll() is None:
                    run.kill()
                    run.wait()
            self.assertEqual(0, run.returncode, out)
            outputs.append(re.findall(r"Test +#\d+: (\S+)", out))
        return outputs

    def test_runs_started_together_after_a_change_list_each_test_once(self):
        self.step(CMAKE, "-S", str(self.source), "-B", str(self.build), "-G", "Ninja")
        self.step(CMAKE, "--build", str(self.build))
        expected = sorted(f"Listed.Case{i}" for i in range(TESTS))
        program = self.build / "listed"
        for round_ in range(ROUNDS):
            with self.subTest(round=round_):
                if round_ == 1:
                    (self.source / "listed.cpp").write_text(source(1))
                    self.step(CMAKE, "--build", str(self.build))
                else:
                    # As a relink leaves it: newer than its list.
                    later = time.time() + round_ + 1
                    os.utime(program, (later, later))
                for names in self.listings():
                    self.assertEqual(expected, sorted(names))
                self.assertEqual(expected, sorted(self.listings()[0]))


class TestListing(Project):
    def test_a_slow_listing_passes_and_a_failed_one_is_named(self):
        self.step(CMAKE, "-S", str(self.source), "-B", str(self.build), "-G", "Ninja")
        # Slower than CMake lets a listing be unless told: as a loaded machine lists a sanitizer build's.
        self.step(CMAKE, "--build", str(self.build), env={"LISTED_SLEEP": str(CMAKE_DEFAULT_SECONDS + 2)})
        self.assertEqual(sorted(f"Listed.Case{i}" for i in range(TESTS)), self.listed())
        # Stopped at the bound; then failing, with a test more than the list holds.
        for knobs, said in [({"LISTED_SLEEP": "600", "ZEQ_TEST_LISTING_SECONDS": "1"},
                             "took longer than 1 s, and was stopped"),
                            ({"LISTED_STATUS": "3"}, "failed (exit status 3)")]:
            with self.subTest(said):
                if "LISTED_STATUS" in knobs:
                    (self.source / "listed.cpp").write_text(source(0, TESTS + 1))
                else:
                    # Linked again, the program lists its tests again.
                    (self.build / "listed").unlink()
                out = self.step(CMAKE, "--build", str(self.build), status=1, env=knobs)
                self.assertRegex(out, rf"\nin-test-run.sh: the listing of the tests of \S*/listed {re.escape(said)}\n")
        # The next build lists the program's tests, rather than find it built beside the older list.
        self.step(CMAKE, "--build", str(self.build))
        self.assertEqual(sorted(f"Listed.Case{i}" for i in range(TESTS + 1)), self.listed())


if __name__ == "__main__":
    if len(sys.argv) >= 3:
        CMAKE, CTEST = sys.argv[1:3]
    unittest.main(argv=sys.argv[:1] + sys.argv[3:])
