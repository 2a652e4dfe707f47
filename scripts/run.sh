#!/usr/bin/env bash
# Builds the release configuration and runs the main job in four stages: the build, the SDK's own
# round trip, the plug-in road (a rich host scene exported through the plug-in in the stand-in host
# and imported back, twice) and the comparison of what came back. The terminal gets a line as each
# stage starts and one as it ends, with its duration, and the verdict (where a stage failed, its
# last lines too); what the stages print goes to $ZEQ_RUN_OUTPUT_DIR/main-job.log, with those lines.
# Ctrl-C, SIGTERM or SIGHUP stops the running stage's whole process group and waits until none of
# it runs, then says the job was stopped (status 1): nothing of the job goes on after it.
# ZEQ_JOBS: parallel build jobs (default: all cores). ZEQ_RUN_BUILD_DIR: the build directory;
# ZEQ_RUN_OUTPUT_DIR: where the job writes its files.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/steps.sh
source scripts/deps.sh
source scripts/plugin-road.sh

build=${ZEQ_RUN_BUILD_DIR:-build/release}
# Judged before anything runs, as the host will judge the plug-in road's folder in it; made 0755
# where missing, whatever the umask, and otherwise used as it is.
zeq_output_folder "${ZEQ_RUN_OUTPUT_DIR:-build/roundtrip}" "run: the output folder" " in ZEQ_RUN_OUTPUT_DIR" || exit 1
out=$zeq_out
log=$out/main-job.log
# How the job ended: "" until it does, "passed", or "failed" (the failing stage said so).
ended=""
# The stage running now, for its closing line however it ends: its number, name and start
# (microseconds); no name between stages.
number="" name="" start=""

# say LINE: a line for the log and the terminal (the log first: a closed terminal keeps no line).
say() {
    printf '%s\n' "$1" >>"$log"
    printf '%s\n' "$1" 2>/dev/null || true
}

# stage_said OUTCOME: the running stage's closing line ("done in", "FAILED after": its duration).
stage_said() {
    local ms=$(( (${EPOCHREALTIME//[.,]/} - start) / 1000 ))
    say "$(printf '== stage %s/4, %s: %s %d.%02d s' "$number" "$name" "$1" $((ms / 1000)) $((ms % 1000 / 10)))"
}

# into_log COMMAND...: the command, its output into the log.
into_log() {
    "$@" >>"$log" 2>&1
}

# stage NUMBER NAME COMMAND...: runs the command as a step (see steps.sh), its output into the log,
# between its progress lines; a failure stops the job, with the stage's last lines.
stage() {
    number=$1 name=$2 start=${EPOCHREALTIME//[.,]/}
    shift 2
    local status=0 before
    say "== stage $number/4, $name ..."
    before=$(wc -l <"$log")
    zeq_run_step into_log "$@" || status=$?
    if [ "$status" -ne 0 ]; then
        local last
        last=$(tail -n +$((before + 1)) "$log" | tail -n 15 | sed 's/^/  /')
        stage_said "FAILED after"
        printf 'its last lines:\n%s\n' "$last"
        say "run: the main job stopped at stage \"$name\"; the whole output is in $log"
        ended=failed
        exit 1
    fi
    stage_said "done in"
    name=""
}

# Every run ends here, by itself or by a signal (which stops the running stage first): a stopped
# job says so, as its stage does, with status 1.
on_exit() {
    zeq_closing
    case $ended in
        passed) say "Main job passed; the whole output is in $log"; exit 0 ;;
        failed) exit 1 ;;
    esac
    [ -z "$name" ] || stage_said "stopped after"
    say "Main job stopped before the end; the whole output is in $log"
    exit 1
}
zeq_close_with on_exit

# Each step checked: a stage runs where a failure would not stop the shell by itself.
build_release() {
    zeq_ensure_packages &&
        cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEQ_BUILD_TESTS=OFF -DZEQ_BUILD_BENCH=OFF &&
        cmake --build "$build" -j "${ZEQ_JOBS:-$(nproc)}"
}

main() {
    : >"$log"
    say "Main job: output in $out${zeq_out_note:+, $zeq_out_note}"
    stage 1 build build_release
    # An animated take, then a whole scene (nodes, meshes, materials, textures, animated takes),
    # through binary, ASCII and encrypted Zeq files and back.
    stage 2 "SDK round trip" "$build/tools/zeqroundtrip" "$out" 1000
    stage 3 "plug-in road" zeq_plugin_road "$build" "$out"
    stage 4 comparison zeq_compare_road "$build" "$out"
    ended=passed
}

main
