#!/bin/sh
# Builds a run-time seed corpus for one fuzz target in OUT: the committed
# seeds of fuzz/corpus/TARGET, and the shared sample files of its format in the
# form the target reads (its option byte in front where it reads one, an OBJ
# file followed by "#MTL" and its material library). The samples are not
# committed: their licences are their own.
#   fuzz/seed_from_testdata.sh TARGET OUT [TESTDATA]   (TESTDATA: ../shared/testdata)
set -eu
target=$1
out=$2
here=$(cd "$(dirname "$0")" && pwd)
data=${3:-$here/../../shared/testdata}
mkdir -p "$out"
[ -d "$here/corpus/$target" ] && cp "$here/corpus/$target"/* "$out"/ 2>/dev/null || true
[ -d "$data" ] || { echo "no sample files at $data: committed seeds only" >&2; exit 0; }

# prefixed BYTE FILE NAME: the file with an option byte in front.
prefixed() {
    printf "\\$(printf %03o "$1")" > "$out/$3"
    cat "$2" >> "$out/$3"
}

case $target in
    asf_fuzz) for f in "$data"/asf-amc/*.asf; do prefixed 1 "$f" "sample-$(basename "$f")"; done ;;
    amc_fuzz) for f in "$data"/asf-amc/*.amc; do cp "$f" "$out/sample-$(basename "$f")"; done ;;
    htr_fuzz) for f in "$data"/htr/*; do prefixed 1 "$f" "sample-$(basename "$f")"; done ;;
    bvh_fuzz) for f in "$data"/bvh/*.bvh; do cp "$f" "$out/sample-$(basename "$f")"; done ;;
    dxf_fuzz) for f in "$data"/dxf/*; do prefixed 3 "$f" "sample-$(basename "$f")"; done ;;
    3ds_fuzz)
        for f in "$data"/3ds/*; do
            case $f in *.3ds|*.3DS) cp "$f" "$out/sample-$(basename "$f")" ;; esac
        done ;;
    mtl_fuzz) for f in "$data"/obj/*.mtl; do cp "$f" "$out/sample-$(basename "$f")"; done ;;
    obj_fuzz)
        for f in "$data"/obj/*.obj; do
            mtl=${f%.obj}.mtl
            { cat "$f"; printf '\n#MTL\n'; [ -f "$mtl" ] && cat "$mtl"; } > "$out/sample-$(basename "$f")"
        done ;;
    # The marker and peripheral targets write their own seeds (ZEQ_FUZZ_SEEDS).
    *) echo "$target: no samples taken here; committed seeds only" >&2 ;;
esac
