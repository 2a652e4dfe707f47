#!/usr/bin/env bash
# The main job's plug-in road and its comparison. Sourced by run.sh; run alone (as the test builds
# do) it takes the two stages in turn:
#   scripts/plugin-road.sh BUILD_DIR OUTPUT_DIR
# The road loads the plug-in into the stand-in host from an empty directory of its own, exports the
# "rich" scene to OUTPUT_DIR/rich.zeq, imports it into a new scene, asks the take queries, exports
# that to rich-again.zeq and imports it; the scene is dumped before and after. The comparison then
# checks the dumps, the two files and the take answers against tools/expected-differences.txt and
# tools/known-faults.txt.

# A path as a quoted word of the host's scripts.
zeq_quote() {
    local s=${1//\\/\\\\}
    printf '"%s"' "${s//\"/\\\"}"
}

# The road's steps: one -c text each, named for the messages.
zeq_road_steps() {
    local out=$1
    zeq_step_names=(options scene export import "take queries" "export again" "import again")
    zeq_step_texts=(
        "ZEQExportShowUI 0; ZEQImportShowUI 0"
        "standin_scene rich; standin_dump -o $(zeq_quote "$out/before.dump")"
        "ZEQExport -f $(zeq_quote "$out/rich.zeq"); standin_dump -c $(zeq_quote "$out/before.dump")"
        "ZEQImport -f $(zeq_quote "$out/rich.zeq") -take 0; standin_dump -o $(zeq_quote "$out/import1.dump")"
        "ZEQRead $(zeq_quote "$out/rich.zeq"); ZEQGetTakeCount; ZEQGetTakeName 0; ZEQGetTakeComment 0;
         ZEQGetTakeLocalTimeSpan 0 -start; ZEQGetTakeLocalTimeSpan 0 -stop;
         ZEQGetTakeReferenceTimeSpan 0 -start; ZEQGetTakeReferenceTimeSpan 0 -stop"
        "ZEQExport -f $(zeq_quote "$out/rich-again.zeq"); standin_dump -c $(zeq_quote "$out/import1.dump")"
        "ZEQImport -f $(zeq_quote "$out/rich-again.zeq") -take 0; standin_dump -o $(zeq_quote "$out/import2.dump")"
    )
    zeq_take_step=5
}

# zeq_plugin_road BUILD_DIR OUTPUT_DIR (absolute): runs the road; on a failure names the step and
# prints the host's error lines, and returns 1.
zeq_plugin_road() {
    local build=$1 out=$2 plugdir=$2/plugin status i args=()
    zeq_road_steps "$out"
    rm -rf "$plugdir" "$out"/{before,import1,import2}.dump "$out"/rich{,-again}.zeq "$out"/road.{txt,status} \
        "$out"/takes.txt
    # 0755 whatever the umask: a folder its group may write is one the host refuses plug-ins from
    # (where the group is not the user's alone, and always for root).
    (umask 022 && mkdir -p -m 0755 "$plugdir")
    # A copy, 0755, not a link: the host judges the folders of the file it loads, and the build's
    # own (made under the user's umask) may be group-writable. The settings file and the plug-in's
    # log land beside it.
    install -m 0755 "$build/plugin/libzeqtulo.so" "$plugdir/libzeqtulo.so"
    for i in "${!zeq_step_texts[@]}"; do args+=(-c "${zeq_step_texts[$i]}"); done
    # The host's status through a file: the pipeline's own is tee's, or stops the caller under
    # errexit and pipefail before the failure could be named.
    {
        local code=0
        TULO_PLUG_IN_PATH=$plugdir "$build/host/tulo-standin" --plugin zeqtulo --strict --progress "${args[@]}" \
            2>&1 || code=$?
        echo "$code" > "$out/road.status"
    } | tee "$out/road.txt"
    status=$(cat "$out/road.status" 2>/dev/null || echo 1)
    if [ "$status" -ne 0 ]; then
        local failed
        failed=$(sed -n 's|^// Progress: -c argument \([0-9]*\) failed.*|\1|p' "$out/road.txt" | head -1)
        if [ -n "$failed" ]; then
            echo "run: the plug-in road failed at step $failed, \"${zeq_step_names[$((failed - 1))]}\":"
            awk -v n="$failed" '$0 ~ "^// Progress: -c argument " n " started" {on = 1}
                                on && /^\/\/ Error:/ {print "  " $0}
                                $0 ~ "^// Progress: -c argument " n " failed" {on = 0}' "$out/road.txt"
        else
            # The last step started, if any, and whether it ended.
            local last when
            last=$(sed -n 's|^// Progress: -c argument \([0-9]*\) started.*|\1|p' "$out/road.txt" | tail -1)
            if [ -z "$last" ]; then
                when="before any step ran (the plug-in was not loaded, or the host did not start)"
            elif ! grep -q "^// Progress: -c argument $last succeeded" "$out/road.txt"; then
                when="during step $last, \"${zeq_step_names[$((last - 1))]}\""
            else
                when="after the steps had run"
            fi
            echo "run: the host program failed (exit status $status) $when:"
            grep -E '^(tulo-standin:|// Host fault:|// Error:|// Warning:.*is not loaded)' "$out/road.txt" |
                sed 's/^/  /' || true
        fi
        return 1
    fi
    # The take step's answers, less that of ZEQRead, for the comparison.
    awk -v n="$zeq_take_step" '$0 ~ "^// Progress: -c argument " n " started" {on = 1; next}
                               $0 ~ "^// Progress: -c argument " n " " {on = 0}
                               on && /^\/\/ Result: / {sub(/^\/\/ Result: /, ""); print}' "$out/road.txt" |
        tail -n +2 > "$out/takes.txt"
    local left
    left=$(cd "$plugdir" && ls -A | grep -v '^libzeqtulo.so$' | tr '\n' ' ')
    echo "run: the plug-in left in $plugdir: ${left:-nothing}"
}

# zeq_compare_road BUILD_DIR OUTPUT_DIR: the dumps, the files and the take answers against the
# expected differences and the faults not mended yet; 1 on an unexpected difference or a stale entry.
zeq_compare_road() {
    local build=$1 out=$2 root
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    "$build/tools/zeqcompare" --expected "$root/tools/expected-differences.txt" \
        --known-faults "$root/tools/known-faults.txt" \
        --dumps "$out/before.dump" "$out/import1.dump" "$out/import2.dump" \
        --files "$out/rich.zeq" "$out/rich-again.zeq" --takes "$out/takes.txt"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    if [ $# -ne 2 ]; then
        echo "usage: scripts/plugin-road.sh BUILD_DIR OUTPUT_DIR" >&2
        exit 2
    fi
    (umask 022 && mkdir -p "$2")
    zeq_out=$(cd "$2" && pwd)
    zeq_plugin_road "$1" "$zeq_out"
    zeq_compare_road "$1" "$zeq_out"
fi
