#!/usr/bin/env bash
# Builds and runs every test twice: with AddressSanitizer and UndefinedBehaviorSanitizer,
# then optimised (-O2, with the standard library's checks), each in its own build directory.
# ZEQ_JOBS: parallel build and test jobs (default: all cores).
# ZEQ_TEST_BUILD_DIR, ZEQ_TEST_O2_BUILD_DIR: the two build directories.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
zeq_ensure_packages

jobs=${ZEQ_JOBS:-$(nproc)}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

# run_suite <label> <build dir> <cmake options...>
run_suite() {
    local label=$1 build=$2
    shift 2
    echo "== $label build in $build"
    cmake -S . -B "$build" -G Ninja -DZEQ_WERROR=ON -DZEQ_BUILD_TESTS=ON "$@"
    cmake --build "$build" -j "$jobs"
    local status=0 report
    report="$(cd "$build" && pwd)/test-report.xml"
    ctest --test-dir "$build" -j "$jobs" --output-on-failure --timeout 600 --output-junit "$report" || status=$?
    summaries+=("$(python3 scripts/skipped-tests.py "$label build" "$report")")
    return $status
}

# Said again at the very end, so that a skipped test shows.
summaries=()
print_summaries() { for s in "${summaries[@]}"; do echo "$s"; done; }
trap print_summaries EXIT

run_suite sanitizer "${ZEQ_TEST_BUILD_DIR:-build/test}" \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g1 -O1" -DZEQ_SANITIZE=ON -DZEQ_BUILD_BENCH=OFF
# The benchmarks are compiled here, where they are meant to run.
run_suite optimised "${ZEQ_TEST_O2_BUILD_DIR:-build/test-o2}" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -D_GLIBCXX_ASSERTIONS" -DZEQ_BUILD_BENCH=ON
