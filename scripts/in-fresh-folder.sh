#!/usr/bin/env bash
# Runs a test's command in a folder made fresh for it (mktemp -d) under PARENT, so that two runs of
# the tests in one build folder never share one:
#   in-fresh-folder.sh PARENT PREFIX COMMAND [ARGUMENTS...]
# "@FOLDER@" in an argument stands for the folder's path. The folder goes when the command passes,
# or leaves it empty; a failing command's files stay there for a look.
set -u
parent=$1 prefix=$2
shift 2
mkdir -p "$parent" && folder=$(mktemp -d "$parent/$prefix-XXXXXX") || exit 1
args=()
for argument in "$@"; do args+=("${argument//@FOLDER@/$folder}"); done
"${args[@]}"
status=$?
if [ "$status" -eq 0 ] || [ -z "$(ls -A "$folder")" ]; then rm -rf -- "$folder"; fi
exit "$status"
