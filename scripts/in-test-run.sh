#!/bin/sh
# Runs one test of a CTest run (CTest starts it, so its parent is CTest):
#   in-test-run.sh COMMAND [ARGUMENTS...]
# With ZEQ_TEST_RUNS set (the build's test-tmp), the test's ZEQ_TEST_TMP is the run's own folder
# there, run-<CTest's process id>-<its start time>, made on first use: every test of one run shares
# it, and two runs in one build folder at once never do, so that each run's check of what its tests
# left judges what that run made alone.
# Without it the command is a test program's listing of its tests when the program is built. It may
# take ZEQ_TEST_LISTING_SECONDS (300: a loaded machine's minutes, where it takes a moment on an idle
# one; CMake's own bound on it, in cmake/ZeqHelpers.cmake, is longer); one that fails or takes longer
# fails the build, saying that the program's listing failed and why (the next build lists it again:
# its list is missing or older than what the program is linked from).
if [ -z "${ZEQ_TEST_RUNS:-}" ]; then
    seconds=${ZEQ_TEST_LISTING_SECONDS:-300}
    status=0
    # In the build's process group, where a stopped build stops it too.
    timeout --foreground --kill-after=10 "$seconds" "$@" || status=$?
    [ $status -eq 0 ] && exit 0
    if [ $status -eq 124 ]; then
        echo "in-test-run.sh: the listing of the tests of $1 took longer than $seconds s, and was stopped" >&2
    else
        echo "in-test-run.sh: the listing of the tests of $1 failed (exit status $status)" >&2
    fi
    exit $status
fi
# The fields after the command's name; the start time is the 20th of them.
read -r stat < "/proc/$PPID/stat" || exit 1
start_time() { shift 19 && echo "$1"; }
run="$ZEQ_TEST_RUNS/run-$PPID-$(start_time ${stat##*) })"
# 0755 whatever the umask: the host loads no plug-in from below a folder that a group which may hold
# other users may write.
(umask 022 && mkdir -p "$run") || exit 1
ZEQ_TEST_TMP=$run
export ZEQ_TEST_TMP
unset ZEQ_TEST_RUNS
exec "$@"
