#!/bin/sh
# Runs one test of a CTest run (CTest starts it, so its parent is CTest):
#   in-test-run.sh COMMAND [ARGUMENTS...]
# With ZEQ_TEST_RUNS set (the build's test-tmp), the test's ZEQ_TEST_TMP is the run's own folder
# there, run-<CTest's process id>-<its start time>, made on first use: every test of one run shares
# it, and two runs in one build folder at once never do, so that each run's check of what its tests
# left judges what that run made alone. Without it the command runs as it is (a test program's
# listing of its tests at build time).
if [ -n "${ZEQ_TEST_RUNS:-}" ]; then
    # The fields after the command's name; the start time is the 20th of them.
    read -r stat < "/proc/$PPID/stat" || exit 1
    start_time() { shift 19 && echo "$1"; }
    run="$ZEQ_TEST_RUNS/run-$PPID-$(start_time ${stat##*) })"
    mkdir -p "$run" || exit 1
    ZEQ_TEST_TMP=$run
    export ZEQ_TEST_TMP
    unset ZEQ_TEST_RUNS
fi
exec "$@"
