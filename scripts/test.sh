#!/usr/bin/env bash
# Builds and runs every test twice: with AddressSanitizer and UndefinedBehaviorSanitizer,
# then optimised (-O2, with the standard library's checks), each in its own build directory.
# Both builds run whatever the first one gives; the run ends with the skipped tests of each,
# a line saying which build passed or failed, and a last line counting the tests of both
# ("tests: 7959 passed, 0 failed, 12 skipped"). The exit status is 0 only when both passed; a
# run that stops early (a package missing or not installed, a signal) ends with both lines too.
# Before its tests, each build's test-tmp loses what earlier runs left there (a stopped test's
# folder, a failed plug-in test's folder kept for a look), unless another run of this script is
# testing in that build folder. Each build folder keeps its tests' JUnit report (test-report.xml)
# and what CTest printed (test.log), each written whole in a folder of the run's own and moved into
# place once its tests ended; the run counts its own tests, whatever another run writes meanwhile.
# ZEQ_JOBS: parallel build and test jobs (default: all cores).
# ZEQ_TEST_BUILD_DIR, ZEQ_TEST_O2_BUILD_DIR: the two build directories.
set -euo pipefail

summaries=()
reports=()
outcomes=()
failed=0
finished=0
# Why a run that stops early stopped, for its verdict line.
stopped="stopped before the end"
# The tests' temporary folder (their TMPDIR), made fresh for each test step and removed with it,
# so that a run stopped midway leaves nothing of its tests in the system's temporary folder.
tests_tmp=""
# The descriptor of the lock on the build folder whose tests run now (hold_build), "" when none.
held=""
# The folders in the build folders where CTest writes this run's report and log (and its
# temporaries), removed when the run closes: a stopped CTest leaves nothing of them behind.
outputs=()

# close_lines <verdict> [--stopped]: the skipped tests of each build, the verdict line and the
# counts line. Without the report script (python3 missing) the counts line says one failed.
close_lines() {
    local s
    for s in "${summaries[@]}"; do echo "$s"; done
    echo "zeq builds: $1"
    python3 scripts/skipped-tests.py --totals ${2:+"$2"} "${reports[@]}" ||
        { echo "tests: 0 passed, 1 failed, 0 skipped"; return 1; }
}

remove_tests_tmp() {
    [ -z "$tests_tmp" ] || rm -rf -- "$tests_tmp" 2>/dev/null || true
    tests_tmp=""
    # The build folder is no longer this run's.
    [ -z "$held" ] || exec {held}>&-
    held=""
}

# clear_leftovers <test-tmp>: removes what earlier runs left in a build's test-tmp, by the names
# the suite gives there alone: a run's own folder ("run-<CTest's process id>-<its start time>", see
# in-test-run.sh: a stopped run leaves it, and a failed plug-in test keeps its files there for a
# look), and, of the layout before run folders, a folder made fresh ("<name>-XXXXXX", six to eight
# characters nobody can predict) and the plug-in tests' zeqtulo/ holding such folders.
clear_leftovers() {
    local entry name
    for entry in "$1"/* "$1"/zeqtulo/*; do
        name=${entry##*/}
        if [[ $name =~ ^[A-Za-z0-9_.-]+-[A-Za-z0-9_]{6,8}$ || $name =~ ^run-[0-9]+-[0-9]+$ ]] && [ -d "$entry" ] &&
            [ ! -L "$entry" ]; then
            rm -rf -- "$entry"
        fi
    done
    [ ! -d "$1/zeqtulo" ] || [ -L "$1/zeqtulo" ] || rmdir -- "$1/zeqtulo" 2>/dev/null || true
}

# hold_build <build dir>: marks the build folder as used by this run's tests until they end (a lock
# held open), and first clears what earlier runs left in its test-tmp, unless another run of this
# script is testing in the same folder (which holds it too).
hold_build() {
    { exec {held}>>"$1/test-run.lock"; } 2>/dev/null || return 0
    if flock -xn "$held"; then
        clear_leftovers "$1/test-tmp"
    fi
    # Shared with other runs; waits only while another run clears.
    flock -s "$held" || true
}

# Every run ends here: a run stopped early (a missing package, a failed install, a failing step,
# a signal) with its closing lines as failed and a non-zero status; a finished one with its
# verdict, and a non-zero status where either build failed or its counts cannot be given.
on_exit() {
    zeq_closing
    local verdict flag=""
    remove_tests_tmp
    if [ "$finished" = 1 ]; then
        [ "$failed" = 0 ] && verdict=passed || verdict=failed
        verdict="$verdict (${outcomes[0]}; ${outcomes[1]})"
    else
        failed=1
        flag=--stopped
        verdict="failed ($stopped$([ ${#outcomes[@]} -eq 0 ] || printf '; %s' "${outcomes[@]}"))"
    fi
    close_lines "$verdict" $flag || failed=1
    [ ${#outputs[@]} -eq 0 ] || rm -rf -- "${outputs[@]}" 2>/dev/null || true
    exit "$failed"
}
source "$(dirname "$0")/steps.sh"
# A signal stops the run at once (its step, and nothing more of it starts), and the run closes.
zeq_close_with on_exit

cd "$(dirname "$0")/.."
# What the run makes (the build folders, the tests' folders) is not its group's to write, whatever the
# user's umask: the host loads no plug-in from below a folder that a group which may hold other users
# may write, and the tests load theirs from below the build folder.
umask 022
source scripts/deps.sh
if ! zeq_run_step zeq_ensure_packages; then
    stopped="the packages the build needs are not installed: no build ran"
    exit 1
fi

jobs=${ZEQ_JOBS:-$(nproc)}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

# publish <own folder> <build dir>: the build folder's test-report.xml and test.log become this
# run's, each moved into place whole; where this run has none (no tests ran), an earlier run's goes,
# lest it stand for this one. The run keeps its own report (another link to it) for its counts.
publish() {
    local name
    for name in test-report.xml test.log; do
        if [ -f "$1/$name" ]; then
            { ln "$1/$name" "$1/$name.done" 2>/dev/null || cp "$1/$name" "$1/$name.done"; } &&
                mv -f "$1/$name.done" "$2/$name"
        else
            rm -f "$2/$name"
        fi
    done
}

# run_suite <label> <build dir> <cmake options...>: configures, builds and runs the tests; fails
# at the first step that fails, naming it. The JUnit report of its tests goes to reports, and to
# test-report.xml in the build folder, with CTest's output in test.log beside it.
run_suite() {
    local label=$1 build=$2 own
    shift 2
    echo "== $label build in $build"
    mkdir -p "$build"
    # Another run's report may lie at the build folder's name: this run counts its own alone. Noted
    # as it is made, so that a run stopped at once removes it all the same.
    outputs+=("$(cd "$build" && mktemp -d "$PWD/test-output.XXXXXX")")
    own=${outputs[-1]}
    reports+=("${own:+$own/test-report.xml}")
    if [ -z "$own" ]; then
        summaries+=("== $label build: no folder for its tests' report, no tests ran")
        return 1
    fi
    if ! zeq_run_step cmake -S . -B "$build" -G Ninja -DZEQ_WERROR=ON -DZEQ_BUILD_TESTS=ON "$@"; then
        summaries+=("== $label build: configuring failed, no tests ran")
        publish "$own" "$build"
        return 1
    fi
    if ! zeq_run_step cmake --build "$build" -j "$jobs"; then
        summaries+=("== $label build: the build failed, no tests ran")
        publish "$own" "$build"
        return 1
    fi
    local status=0
    # Others may pass it (tests acting as another user work below it) but not write in it.
    tests_tmp=$(mktemp -d "${TMPDIR:-/tmp}/zeq-tests.XXXXXX") && chmod 0755 "$tests_tmp" || {
        summaries+=("== $label build: no temporary folder for the tests, no tests ran")
        publish "$own" "$build"
        return 1
    }
    hold_build "$build"
    # What CTest printed is kept beside the report.
    zeq_run_step env TMPDIR="$tests_tmp" ctest --test-dir "$build" -j "$jobs" --output-on-failure --timeout 600 \
        --output-junit "$own/test-report.xml" --output-log "$own/test.log" || status=$?
    remove_tests_tmp
    publish "$own" "$build"
    summaries+=("$(python3 scripts/skipped-tests.py "$label build" "$own/test-report.xml")")
    return $status
}

# suite <label> <build dir> <cmake options...>: run_suite, its outcome noted.
suite() {
    local label=$1
    if run_suite "$@"; then
        outcomes+=("$label: passed")
    else
        outcomes+=("$label: failed")
        failed=1
    fi
}

suite sanitizer "${ZEQ_TEST_BUILD_DIR:-build/test}" \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g1 -O1" -DZEQ_SANITIZE=ON -DZEQ_BUILD_BENCH=OFF
# The benchmarks are compiled here, where they are meant to run.
suite optimised "${ZEQ_TEST_O2_BUILD_DIR:-build/test-o2}" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -D_GLIBCXX_ASSERTIONS" -DZEQ_BUILD_BENCH=ON

# Said again at the very end (by the exit trap), so that a skipped test shows.
finished=1
