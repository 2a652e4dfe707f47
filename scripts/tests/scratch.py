"""Where the script tests make their folders."""
import os


def scratch_root():
    """The build's test-tmp where the test runs under CTest (where the run's check of leftovers
    looks), else the system's temporary folder."""
    root = os.environ.get("ZEQ_TEST_TMP")
    if root:
        os.makedirs(root, exist_ok=True)
    return root or None
