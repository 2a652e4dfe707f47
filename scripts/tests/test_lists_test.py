#!/usr/bin/env python3
"""The test lists of a build are made once, when a test program is built: runs of CTest started
together right after a program changed each list every test once, and leave the list as it was.

    test_lists_test.py <cmake> <ctest>

A project of its own, in a fresh folder, adds a small GoogleTest program with the project's
zeq_add_test (cmake/ZeqHelpers.cmake); each round, once the program changed (rebuilt, or only
touched as a relink leaves it), eight runs of `ctest -N` start at once. A list made when CTest runs
instead is written by every run that finds it older than its program, each appending to it.
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
from scratch import scratch_root  # noqa: E402

HELPERS = pathlib.Path(__file__).resolve().parent.parent.parent / "cmake"
CMAKE, CTEST = "cmake", "ctest"
TESTS = 60
RUNS = 8
ROUNDS = 6
# Each step is bounded: one that hangs fails the test.
SECONDS = 300

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


def source(version):
    cases = "".join(f"TEST(Listed, Case{i}) {{ EXPECT_EQ({version}, {version}); }}\n" for i in range(TESTS))
    return "#include <gtest/gtest.h>\n" + cases


class TestLists(unittest.TestCase):
    def setUp(self):
        self.folder = pathlib.Path(tempfile.mkdtemp(prefix="test-lists-", dir=scratch_root()))
        self.source = self.folder / "source"
        self.build = self.folder / "build"
        self.source.mkdir()
        (self.source / "CMakeLists.txt").write_text(PROJECT)
        (self.source / "listed.cpp").write_text(source(0))

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def step(self, *command):
        result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=SECONDS)
        self.assertEqual(0, result.returncode, result.stdout)

    def listings(self):
        """What RUNS runs of `ctest -N` started at once list: the test names of each."""
        runs = [subprocess.Popen([CTEST, "-N", "--test-dir", str(self.build)], stdout=subprocess.PIPE,
                                 stderr=subprocess.STDOUT, text=True) for _ in range(RUNS)]
        outputs = []
        for run in runs:
            try:
                out, _ = run.communicate(timeout=SECONDS)
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


if __name__ == "__main__":
    if len(sys.argv) >= 3:
        CMAKE, CTEST = sys.argv[1:3]
    unittest.main(argv=sys.argv[:1] + sys.argv[3:])
