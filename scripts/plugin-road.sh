#!/usr/bin/env bash
# The main job's plug-in road and its comparison. Sourced by run.sh; run alone (as the test builds
# do) it takes the two stages in turn:
#   scripts/plugin-road.sh BUILD_DIR OUTPUT_DIR
# The road loads the plug-in into the stand-in host from an empty directory of its own, exports the
# "rich" scene to OUTPUT_DIR/rich.zeq, imports it into a new scene, asks the take queries, exports
# that to rich-again.zeq and imports it; the scene is dumped before and after. The comparison then
# checks the dumps, the two files and the take answers against tools/expected-differences.txt and
# tools/known-faults.txt.

# zeq_user_name UID: the user's name, else "user UID".
zeq_user_name() {
    local name
    name=$(getent passwd "$1" 2>/dev/null | cut -d: -f1) || true
    printf '%s' "${name:-user $1}"
}

# zeq_group_name GID: the group's name, else "group GID".
zeq_group_name() {
    local name
    name=$(getent group "$1" 2>/dev/null | cut -d: -f1) || true
    printf '%s' "${name:-group $1}"
}

# zeq_group_owners_alone OWNER GID: whether the group is its owner's private group alone as the
# system's listings show it, as the host judges a group: named as the owner, the owner's primary
# group, no other user's, listing no one else. Never where the owner or the one judging is root, who
# has no group alone (and may change any mode). The host judges more closely (gshadow, what login
# grants) and refuses the plug-in where this missed a way in.
zeq_group_owners_alone() {
    local owner=$1 gid=$2 user primary name members member
    local -a listed=()
    [ "$(id -u)" != 0 ] && [ "$owner" != 0 ] || return 1
    IFS=: read -r user _ _ primary _ < <(getent passwd "$owner") || return 1
    [ -n "$user" ] && [ "$primary" = "$gid" ] || return 1
    IFS=: read -r name _ _ members < <(getent group "$gid") || return 1
    [ "$name" = "$user" ] || return 1
    IFS=, read -r -a listed <<<"$members"
    for member in "${listed[@]}"; do [ -z "$member" ] || [ "$member" = "$user" ] || return 1; done
    ! getent passwd | awk -F: -v g="$gid" -v u="$owner" '$4 == g && $3 != u {found = 1} END {exit !found}'
}

# zeq_access_list FOLDER: whether the folder has an access list, which may give its group's write
# (then the list's mask) to any user or group it names. ls shows a default list too, which gives no
# access: python3, where present, tells the two apart.
zeq_access_list() {
    local long
    long=$(ls -ld -- "$1" 2>/dev/null) || return 1
    [ "${long:10:1}" = + ] || return 1
    command -v python3 >/dev/null 2>&1 || return 0
    python3 -c 'import os, sys; os.getxattr(sys.argv[1], "system.posix_acl_access", follow_symlinks=False)' \
        "$1" 2>/dev/null
}

# The folder the job writes in, and what its walk has found, for zeq_output_folder and the functions
# below (bash has no other way to give several answers back).
zeq_out="" zeq_out_note=""
# zeq_look FOLDER sets these: the folder's owner and group (numbers), who else may write it ("" for
# none, "others" by its mode, "list" by an access list, "group" by a group that is not its owner's
# alone) and whether it is sticky (1 or 0).
zeq_owner="" zeq_group="" zeq_writers="" zeq_sticky=0
# The names still to walk, the first first.
zeq_parts=()

# The folder named, how it is said, and where another is named (zeq_output_folder's arguments).
zeq_given="" zeq_what="" zeq_named=""

# zeq_refuse WHY ADVICE: the refusal of the folder named, on stderr; returns 1.
zeq_refuse() {
    printf '%s "%s" is not used: %s; %s%s.\n' "$zeq_what" "$zeq_given" "$1" "$2" "$zeq_named" >&2
    return 1
}

zeq_look() {
    local stamp mode
    stamp=$(stat -c '%u %g %a' -- "$1" 2>/dev/null) || return 1
    read -r zeq_owner zeq_group mode <<<"$stamp"
    zeq_sticky=$(( (8#$mode & 8#1000) != 0 ))
    zeq_writers=""
    if (((8#$mode & 8#002) != 0)); then
        zeq_writers=others
    elif (((8#$mode & 8#020) != 0)); then
        # Under an access list the group bits are its mask, which bounds what every entry gives.
        if zeq_access_list "$1"; then
            zeq_writers=list
        elif ! zeq_group_owners_alone "$zeq_owner" "$zeq_group"; then
            zeq_writers=group
        fi
    fi
}

# zeq_holds FOLDER SAID: why the job's names may not lie in FOLDER (said as SAID), as the host refuses
# a plug-in there: another user may rename them. Sets zeq_why and zeq_advice ("" where it may hold
# them); zeq_look's answers stay set.
zeq_why="" zeq_advice=""
zeq_holds() {
    local folder=$1 said=$2
    local so="they may rename what the job puts in it, and the host loads no plug-in from there"
    zeq_why="" zeq_advice=""
    if ! zeq_look "$folder"; then
        zeq_why="$said cannot be looked at" zeq_advice="name a folder you may reach"
    elif [ "$zeq_owner" != 0 ] && [ "$zeq_owner" != "$(id -u)" ]; then
        zeq_why="$said is $(zeq_user_name "$zeq_owner")'s, neither yours nor root's: ${so/they/its owner}"
        zeq_advice="name a folder of your own"
    elif [ "$zeq_sticky" = 1 ]; then
        return 0
    elif [ "$zeq_writers" = others ]; then
        zeq_why="others may write $said and it is not sticky: $so"
        zeq_advice="take their write away (chmod o-w \"$folder\") or name another folder"
    elif [ "$zeq_writers" = list ]; then
        zeq_why="its access list may let other users write $said, and it is not sticky: $so"
        zeq_advice="take their write away (chmod g-w \"$folder\", which bounds every entry of the list) or name"
        zeq_advice+=" another folder"
    elif [ "$zeq_writers" = group ]; then
        zeq_why="its group ($(zeq_group_name "$zeq_group")) may write $said, a group that may hold other users, and"
        zeq_why+=" it is not sticky: $so"
        zeq_advice="take its group's write away (chmod g-w \"$folder\") or name another folder"
    fi
    [ -z "$zeq_why" ]
}

# zeq_split TEXT: the names of the path TEXT put before those still to walk, the first first. A name
# is whole, whatever it holds but "/".
zeq_split() {
    local text=$1
    local -a names=()
    while [[ $text == */* ]]; do
        names+=("${text%%/*}")
        text=${text#*/}
    done
    names+=("$text")
    zeq_parts=("${names[@]}" "${zeq_parts[@]}")
}

# zeq_output_folder PATH WHAT [WHERE]: the folder the job writes in, set as zeq_out (absolute, free of
# links), and zeq_out_note, said beside it where it is not PATH itself: PATH as it is where only
# this user (and root) may write it, made where missing (0755, whatever the umask), or a folder made
# fresh in it where others may write it and it is sticky (as the system's temporary folder), so that
# nothing of another user's there is followed or replaced. It changes the mode of nothing it did not
# make. Where the host would refuse the plug-in from there (a folder on the way in which another
# user may rename what it holds: theirs, or one others, an access list, or a group that is not its
# owner's alone may write and that is not sticky), where a link on the way is another user's in a
# folder others may write, where the job may not write, or where the path or a link's text holds a
# line break (which the host's commands and the log's lines cannot carry), it says why and what to
# do (WHAT names the folder: 'run: the output folder'; WHERE, after its advice, where to name
# another: ' in ZEQ_RUN_OUTPUT_DIR'), changes nothing, and returns 1.
zeq_output_folder() {
    local here=/ next part target linker links=0 first said cwd
    local -a rest=()
    zeq_given=$1 zeq_what=$2 zeq_named=${3:-} zeq_out="" zeq_out_note="" zeq_parts=()
    [ -n "$zeq_given" ] || { zeq_refuse "no folder is named" "name one"; return 1; }
    if [[ $zeq_given == /* ]]; then
        zeq_split "$zeq_given"
    else
        # Read whole: a command substitution would drop the line breaks that end it.
        cwd=$(pwd -P && echo .)
        zeq_split "${cwd%$'\n.'}/$zeq_given"
    fi
    if [[ ${zeq_parts[*]} == *$'\n'* ]]; then
        zeq_refuse "its path holds a line break" "name a folder whose path holds none"
        return 1
    fi
    while [ ${#zeq_parts[@]} -gt 0 ]; do
        part=${zeq_parts[0]}
        zeq_parts=("${zeq_parts[@]:1}")
        case $part in
            "" | .) continue ;;
            ..) here=${here%/*}; here=${here:-/}; continue ;;
        esac
        zeq_holds "$here" "\"$here\"" || { zeq_refuse "$zeq_why" "$zeq_advice"; return 1; }
        next=${here%/}/$part
        if [ -L "$next" ]; then
            # Followed only where no one else may have put it: another user's link in a folder
            # others may write is theirs to point anywhere.
            linker=$(stat -c %u -- "$next" 2>/dev/null) ||
                { zeq_refuse "\"$next\" cannot be looked at" "name a folder you may reach"; return 1; }
            if [ -n "$zeq_writers" ] && [ "$linker" != "$(id -u)" ] && [ "$linker" != "$zeq_owner" ]; then
                zeq_refuse "the link \"$next\" is $(zeq_user_name "$linker")'s, in a folder others may write" \
                    "name the folder it leads to, if you trust it, or another"
                return 1
            fi
            links=$((links + 1))
            [ "$links" -le 40 ] || { zeq_refuse "its links lead round in a circle" "name the folder itself"; return 1; }
            # Read whole: a command substitution would drop the line breaks that end it.
            target=$(readlink -- "$next" && echo .) ||
                { zeq_refuse "\"$next\" cannot be read" "name the folder it leads to"; return 1; }
            target=${target%$'\n.'}
            if [[ $target == *$'\n'* ]]; then
                zeq_refuse "the link \"$next\" leads to a path that holds a line break" \
                    "name a folder whose path holds none"
                return 1
            fi
            [[ $target != /* ]] || here=/
            zeq_split "$target"
            continue
        fi
        if [ -e "$next" ]; then
            [ -d "$next" ] || { zeq_refuse "\"$next\" is no folder" "name a folder"; return 1; }
            here=$next
            continue
        fi
        rest=("$part")
        for part in "${zeq_parts[@]}"; do
            case $part in
                "" | .) ;;
                # Made, the name would be walked back out of again, into a folder it was not judged for.
                ..) zeq_refuse "it climbs out of \"${here%/}/${rest[0]}\", which is missing" "name it without .."
                    return 1 ;;
                *) rest+=("$part") ;;
            esac
        done
        break
    done
    said=\"$here\"
    [ ${#rest[@]} -ne 0 ] || said=it
    zeq_holds "$here" "$said" || { zeq_refuse "$zeq_why" "$zeq_advice"; return 1; }
    if [ ! -w "$here" ] || [ ! -x "$here" ]; then
        zeq_refuse "you may not write in $said" "name a folder you may write"
        return 1
    fi
    if [ ${#rest[@]} -eq 0 ]; then
        if [ -n "$zeq_writers" ]; then
            # Sticky, and others may write it: the job's names there would meet theirs.
            zeq_out=$(mktemp -d -- "${here%/}/zeq-main-job.XXXXXX") ||
                { zeq_refuse "no folder could be made in it" "name another"; return 1; }
            zeq_out_note="a folder of its own in \"$here\", which others may write"
        else
            zeq_out=$here
        fi
        return 0
    fi
    # What is missing is made, 0755 (mkdir, which makes a name only where none stands, in a folder
    # others may write: one of theirs that appeared meanwhile is not taken for the job's).
    first=${here%/}/${rest[0]}
    if ! (umask 022 && mkdir -- "$first") 2>/dev/null; then
        zeq_refuse "\"$first\" could not be made" "name another folder"
        return 1
    fi
    local IFS=/
    if [ ${#rest[@]} -gt 1 ] && ! (umask 022 && mkdir -p -- "$first/${rest[*]:1}"); then
        zeq_refuse "\"$first/${rest[*]:1}\" could not be made" "name another folder"
        return 1
    fi
    zeq_out=$(cd -- "$first/${rest[*]:1}" && pwd -P)
}

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
    zeq_output_folder "$2" "plugin-road.sh: the output folder" || exit 1
    zeq_plugin_road "$1" "$zeq_out"
    zeq_compare_road "$1" "$zeq_out"
fi
