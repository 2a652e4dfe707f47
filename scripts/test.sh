#!/usr/bin/env bash
# Builds and runs every test twice: with AddressSanitizer and UndefinedBehaviorSanitizer,
# then optimised (-O2, with the standard library's checks), each in its own build directory.
# Both builds run whatever the first one gives; the run ends with the skipped tests of each,
# a line saying which build passed or failed, and a last line counting the tests of both
# ("tests: 3621 passed, 0 failed, 4 skipped"). The exit status is 0 only when both passed; a
# run that stops early (a package missing or not installed, a signal) ends with both lines too.
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

# close_lines <verdict> [--stopped]: the skipped tests of each build, the verdict line and the
# counts line. Without the report script (python3 missing) the counts line says one failed.
close_lines() {
    local s
    for s in "${summaries[@]}"; do echo "$s"; done
    echo "zeq builds: $1"
    python3 scripts/skipped-tests.py --totals ${2:+"$2"} "${reports[@]}" ||
        { echo "tests: 0 passed, 1 failed, 0 skipped"; return 1; }
}

# A run stopped early (a missing package, a failed install, a failing step, a signal) still ends
# with its closing lines, as failed, and with a non-zero status.
on_exit() {
    local status=$?
    [ "$finished" = 1 ] && return
    finished=1
    local builds=""
    [ ${#outcomes[@]} -eq 0 ] || builds=$(printf '; %s' "${outcomes[@]}")
    close_lines "failed ($stopped$builds)" --stopped || true
    [ "$status" -ne 0 ] || exit 1
}
trap on_exit EXIT

cd "$(dirname "$0")/.."
source scripts/deps.sh
if ! zeq_ensure_packages; then
    stopped="the packages the build needs are not installed: no build ran"
    exit 1
fi

jobs=${ZEQ_JOBS:-$(nproc)}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

# run_suite <label> <build dir> <cmake options...>: configures, builds and runs the tests; fails
# at the first step that fails, naming it. The JUnit report of its tests goes to reports.
run_suite() {
    local label=$1 build=$2
    shift 2
    echo "== $label build in $build"
    mkdir -p "$build"
    local report
    report="$(cd "$build" && pwd)/test-report.xml"
    # A report of an earlier run would count for a build that fails now.
    rm -f "$report"
    reports+=("$report")
    if ! cmake -S . -B "$build" -G Ninja -DZEQ_WERROR=ON -DZEQ_BUILD_TESTS=ON "$@"; then
        summaries+=("== $label build: configuring failed, no tests ran")
        return 1
    fi
    if ! cmake --build "$build" -j "$jobs"; then
        summaries+=("== $label build: the build failed, no tests ran")
        return 1
    fi
    local status=0
    ctest --test-dir "$build" -j "$jobs" --output-on-failure --timeout 600 --output-junit "$report" || status=$?
    summaries+=("$(python3 scripts/skipped-tests.py "$label build" "$report")")
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

# Said again at the very end, so that a skipped test shows.
if [ "$failed" = 0 ]; then verdict=passed; else verdict=failed; fi
finished=1
close_lines "$verdict (${outcomes[0]}; ${outcomes[1]})" || failed=1
exit "$failed"
