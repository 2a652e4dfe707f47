#!/usr/bin/env python3
"""Fails when a test run left behind what it made: an empty folder in the tests' scratch folder
(a test's folder it never used, or one named after a parameterised test, whose "/" makes a folder
of its own that removing the test's folder leaves), or a Python cache in the checkout's scripts/.

CTest runs it twice, as the setup and the cleanup of every test:

    check-test-leftovers.py start <stamp>
    check-test-leftovers.py check <stamp> <scratch folder> <source root>

Only what changed since the stamp counts: folders earlier runs left are not this run's.
"""
import os
import pathlib
import sys


def changed_since(path, stamp):
    try:
        return path.stat().st_mtime_ns >= stamp
    except OSError:
        return False


def leftovers(stamp, scratch, source):
    """What this run left: empty folders anywhere in scratch, and Python caches in scripts/."""
    found = []
    for folder, dirs, files in os.walk(scratch):
        path = pathlib.Path(folder)
        if path != scratch and not dirs and not files and changed_since(path, stamp):
            found.append(f"{path}: an empty folder a test left")
    for folder, dirs, _ in os.walk(source / "scripts"):
        for name in dirs:
            cache = pathlib.Path(folder, name)
            if name == "__pycache__" and changed_since(cache, stamp):
                found.append(f"{cache}: a Python cache a test left in the checkout")
    return found


def main(argv):
    if len(argv) == 2 and argv[0] == "start":
        pathlib.Path(argv[1]).write_text("the test run started\n")
        return 0
    if len(argv) != 4 or argv[0] != "check":
        print(__doc__, file=sys.stderr)
        return 2
    try:
        stamp = pathlib.Path(argv[1]).stat().st_mtime_ns
    except OSError as error:
        print(f"no start of the run to compare with ({error}): run it with its setup", file=sys.stderr)
        return 2
    found = leftovers(stamp, pathlib.Path(argv[2]), pathlib.Path(argv[3]))
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} thing(s) left behind by the tests of this run", file=sys.stderr)
        return 1
    print("the test run left no empty folder and no Python cache")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
