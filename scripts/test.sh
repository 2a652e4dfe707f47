#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
zeq_ensure_packages

build=${ZEQ_TEST_BUILD_DIR:-build/test}
jobs=$(nproc)
cmake -S . -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DZEQ_SANITIZE=ON -DZEQ_WERROR=ON -DZEQ_BUILD_TESTS=ON -DZEQ_BUILD_BENCH=ON
cmake --build "$build" -j "$jobs"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
ctest --test-dir "$build" -j "$jobs" --output-on-failure --timeout 600
