#!/usr/bin/env bash
# A failing step of the plug-in road stops it: the step is named with the host's error line, the
# later steps do not run, and the status is 1.
#   pluginroad_failure_test.sh SOURCE_DIR BUILD_DIR OUTPUT_DIR
set -u
source "$1/scripts/plugin-road.sh"
zeq_road_steps() {
    zeq_step_names=(options "broken step" never)
    zeq_step_texts=("ZEQExportShowUI 0" "standin_scene rich; noSuchCommand 1" "ZEQImportShowUI 0")
    zeq_take_step=9
}
mkdir -p "$3"
out_dir=$(cd "$3" && pwd)
fail() { echo "FAILED ($1): $2"; echo "$out"; exit 1; }
# Plain, and under the options run.sh sets.
for mode in plain strict; do
    if [ "$mode" = plain ]; then
        out=$(zeq_plugin_road "$2" "$out_dir" 2>&1)
    else
        out=$(set -euo pipefail; zeq_plugin_road "$2" "$out_dir" 2>&1)
    fi
    status=$?
    [ "$status" -eq 1 ] || fail $mode "status $status, not 1"
    grep -qF 'run: the plug-in road failed at step 2, "broken step":' <<<"$out" || fail $mode "the step is not named"
    grep -qF '  // Error: -c argument 2, line 1: Cannot find procedure "noSuchCommand".' <<<"$out" ||
        fail $mode "the host's error line is not shown"
    grep -qF -- '-c argument 3 started' <<<"$out" && fail $mode "a later step ran"
done
echo "passed"
