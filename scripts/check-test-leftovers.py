#!/usr/bin/env python3
"""Fails when a test run left behind what it made: an empty folder in the run's scratch folder
(a test's folder it never used, or one named after a parameterised test, whose "/" makes a folder
of its own that removing the test's folder leaves), a Python cache in the checkout's scripts/, or
anything else a test made in the checkout (what git does not know and does not ignore; a checkout
without git is not looked at).

CTest runs it twice, as the setup and the cleanup of every test, each through in-test-run.sh, which
gives every test of one run the run's own scratch folder (ZEQ_TEST_TMP):

    check-test-leftovers.py start
    check-test-leftovers.py check <source root> --ctest CTEST --build BUILD

Everything in the run's scratch folder is the run's: another run in the same build folder at once
has a folder of its own, which this check does not look at. In the checkout, only what changed
since the run's start (its stamp, in its scratch folder) counts: what earlier runs left is not this
run's. A folder copied in keeping its old times (cp -a) counts all the same: its status changed
when it came. Once checked, the run's stamp goes, and its scratch folder too where nothing is left
in it (what a failed test keeps for a look stays).

It also fails for every test of the build (listed by CTEST) that is not part of the run (its
setup and cleanup aside), and for every name that several tests bear: CTest orders this check
after the tests of the run by their names, one test a name, so it would otherwise look while
another test still writes, and never see what that test leaves. Without the listing
it cannot tell, and says how it is to be run.
"""
import json
import os
import pathlib
import subprocess
import sys

RUN = "zeq_test_run"


def changed_since(path, stamp):
    try:
        st = path.stat()
    except OSError:
        return False
    return max(st.st_mtime_ns, st.st_ctime_ns) >= stamp


def made_in_the_checkout(source):
    """What git neither knows nor ignores in the checkout, a folder as one entry; [] without git."""
    try:
        listing = subprocess.run(["git", "-C", str(source), "ls-files", "-z", "--others", "--exclude-standard",
                                  "--directory"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True)
    except (OSError, subprocess.CalledProcessError):
        return []
    return [source / name.rstrip("/") for name in listing.stdout.decode(errors="replace").split("\0") if name]


# The run's stamp in its scratch folder: when the run started.
STAMP = ".run-started"


def leftovers(stamp, scratch, source, build=None):
    """What this run left: empty folders anywhere in its scratch folder, Python caches in scripts/,
    and what tests made in the checkout (a test writing a relative name where it has no folder of
    its own)."""
    found = []
    for folder, dirs, files in os.walk(scratch):
        path = pathlib.Path(folder)
        if path != scratch and not dirs and not files:
            found.append(f"{path}: an empty folder a test left")
    for folder, dirs, _ in os.walk(source / "scripts"):
        for name in dirs:
            cache = pathlib.Path(folder, name)
            if name == "__pycache__" and changed_since(cache, stamp):
                found.append(f"{cache}: a Python cache a test left in the checkout")
    # A build folder inside the checkout under a name git does not ignore is the build's, not a test's.
    builds = [pathlib.Path(p).resolve() for p in (build, scratch) if p]
    for path in made_in_the_checkout(source):
        resolved = path.resolve()
        if any(b == resolved or b.is_relative_to(resolved) or resolved.is_relative_to(b) for b in builds):
            continue
        if changed_since(path, stamp) and path.name != "__pycache__":
            found.append(f"{path}: made in the checkout by a test")
    return found


def property_values(test, name):
    for prop in test.get("properties", []):
        if prop.get("name") == name:
            value = prop.get("value")
            return value if isinstance(value, list) else [value]
    return []


def outside_the_run(ctest, build):
    """The tests of the build that neither require the run nor set it up or clean it up, and each name
    that several tests bear: CTest orders this check after the tests of a name, and so after one of
    them alone."""
    listing = subprocess.run([ctest, "--show-only=json-v1", "--test-dir", build], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True, check=True)
    found = []
    names = {}
    for test in json.loads(listing.stdout).get("tests", []):
        names[test.get("name")] = names.get(test.get("name"), 0) + 1
        if any(RUN in property_values(test, p) for p in ("FIXTURES_REQUIRED", "FIXTURES_SETUP", "FIXTURES_CLEANUP")):
            continue
        found.append(f"{test.get('name')}: a test outside the run ({RUN} not required): it may run beside this check")
    for name, count in names.items():
        if count > 1:
            found.append(f"{name}: a name {count} tests bear: the others of them may run beside this check")
    return found


def main(argv):
    run = os.environ.get("ZEQ_TEST_TMP")
    if not run:
        print("no scratch folder of the run (ZEQ_TEST_TMP): run it through in-test-run.sh", file=sys.stderr)
        return 2
    scratch = pathlib.Path(run)
    if argv == ["start"]:
        scratch.mkdir(parents=True, exist_ok=True)
        (scratch / STAMP).write_text("the test run started\n")
        return 0
    ctest = build = None
    if len(argv) == 6 and argv[2] == "--ctest" and argv[4] == "--build":
        ctest, build, argv = argv[3], argv[5], argv[:2]
    if len(argv) != 2 or argv[0] != "check" or not ctest:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        stamp = (scratch / STAMP).stat().st_mtime_ns
    except OSError as error:
        print(f"no start of the run to compare with ({error}): run it with its setup", file=sys.stderr)
        return 2
    found = leftovers(stamp, scratch, pathlib.Path(argv[1]), build)
    try:
        found += outside_the_run(ctest, build)
    except (OSError, subprocess.CalledProcessError, ValueError) as error:
        print(f"the tests of {build} cannot be listed: {error}", file=sys.stderr)
        return 2
    # The run is over: its scratch folder goes where nothing is left in it.
    (scratch / STAMP).unlink()
    try:
        scratch.rmdir()
    except OSError:
        pass
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} thing(s) left behind by the tests of this run", file=sys.stderr)
        return 1
    print("the test run left no empty folder, no Python cache and nothing in the checkout, and every test of the build "
          "was part of it")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
