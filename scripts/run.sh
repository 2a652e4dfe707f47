#!/usr/bin/env bash
# Builds the release configuration and runs the main job.
# ZEQ_JOBS: parallel build jobs (default: all cores). ZEQ_RUN_BUILD_DIR: the build
# directory; ZEQ_RUN_OUTPUT_DIR: where the round trip writes its files.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
zeq_ensure_packages

build=${ZEQ_RUN_BUILD_DIR:-build/release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEQ_BUILD_TESTS=OFF -DZEQ_BUILD_BENCH=OFF
cmake --build "$build" -j "${ZEQ_JOBS:-$(nproc)}"
# Until the host plug-in exists, the main job is the SDK's own round trip:
# an animated take, then a whole scene (nodes, meshes, materials, textures,
# animated takes), through binary, ASCII and encrypted Zeq files and back.
out=${ZEQ_RUN_OUTPUT_DIR:-build/roundtrip}
"$build/tools/zeqroundtrip" "$out" 1000
