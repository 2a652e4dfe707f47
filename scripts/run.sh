#!/usr/bin/env bash
# Builds the release configuration and runs the main job in four stages: the build, the SDK's own
# round trip, the plug-in road (a rich host scene exported through the plug-in in the stand-in host
# and imported back, twice) and the comparison of what came back. The terminal gets a line as each
# stage starts and one as it ends, with its duration, and the verdict (where a stage failed, its
# last lines too); what the stages print goes to $ZEQ_RUN_OUTPUT_DIR/main-job.log, with those lines.
# ZEQ_JOBS: parallel build jobs (default: all cores). ZEQ_RUN_BUILD_DIR: the build directory;
# ZEQ_RUN_OUTPUT_DIR: where the job writes its files.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
source scripts/plugin-road.sh

build=${ZEQ_RUN_BUILD_DIR:-build/release}
out=${ZEQ_RUN_OUTPUT_DIR:-build/roundtrip}
mkdir -p "$out"
out=$(cd "$out" && pwd)
log=$out/main-job.log

# say LINE: a line for the terminal and the log.
say() {
    printf '%s\n' "$1"
    printf '%s\n' "$1" >>"$log"
}

# stage NUMBER NAME COMMAND...: runs the command, its output into the log, between its progress
# lines; a failure stops the job, with the stage's last lines.
stage() {
    local number=$1 name=$2 start=${EPOCHREALTIME//[.,]/} status=0 before
    shift 2
    say "== stage $number/4, $name ..."
    before=$(wc -l <"$log")
    "$@" >>"$log" 2>&1 || status=$?
    local ms=$(( (${EPOCHREALTIME//[.,]/} - start) / 1000 ))
    if [ "$status" -ne 0 ]; then
        local last
        last=$(tail -n +$((before + 1)) "$log" | tail -n 15 | sed 's/^/  /')
        say "$(printf '== stage %s/4, %s: FAILED after %d.%02d s' "$number" "$name" $((ms / 1000)) $((ms % 1000 / 10)))"
        printf 'its last lines:\n%s\n' "$last"
        say "run: the main job stopped at stage \"$name\"; the whole output is in $log"
        exit 1
    fi
    say "$(printf '== stage %s/4, %s: done in %d.%02d s' "$number" "$name" $((ms / 1000)) $((ms % 1000 / 10)))"
}

# Each step checked: a stage runs where a failure would not stop the shell by itself.
build_release() {
    zeq_ensure_packages &&
        cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEQ_BUILD_TESTS=OFF -DZEQ_BUILD_BENCH=OFF &&
        cmake --build "$build" -j "${ZEQ_JOBS:-$(nproc)}"
}

main() {
    : >"$log"
    say "Main job: output in $out"
    stage 1 build build_release
    # An animated take, then a whole scene (nodes, meshes, materials, textures, animated takes),
    # through binary, ASCII and encrypted Zeq files and back.
    stage 2 "SDK round trip" "$build/tools/zeqroundtrip" "$out" 1000
    stage 3 "plug-in road" zeq_plugin_road "$build" "$out"
    stage 4 comparison zeq_compare_road "$build" "$out"
    say "Main job passed; the whole output is in $log"
}

main
