"""Where the script tests make their folders, how long they wait, and how they load the scripts
they test."""
import importlib.util
import os
import pathlib

# The bound on each wait of a script test (for a step to start or end, a program to end, a build):
# minutes, as a loaded machine may need for what takes a moment on an idle one. A wait ends as soon
# as what it waits for happens; one that reaches the bound fails the test with its own message,
# before CTest's time for the test (half an hour, cmake/ZeqHelpers.cmake) ends it. The tests' C++
# programs wait less (fileio/tests/kwaits.h), so that a script test running one sees it fail.
WAIT_SECONDS = 300


def scratch_root():
    """The build's test-tmp where the test runs under CTest (where the run's check of leftovers
    looks), else the system's temporary folder."""
    root = os.environ.get("ZEQ_TEST_TMP")
    if root:
        os.makedirs(root, exist_ok=True)
    return root or None


def load_script(name):
    """A script of scripts/ (its name has a hyphen) loaded as a module, for its tests; no cache of
    it is left in the checkout where the caller set sys.dont_write_bytecode first."""
    path = pathlib.Path(__file__).resolve().parent.parent / name
    spec = importlib.util.spec_from_file_location(name[:-len(".py")].replace("-", "_"), path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module
