#!/usr/bin/env bash
# Builds and runs the import benchmark and the peer importer's timing helper,
# then prints one table: model, import time, floor ratio, peer ratio, peak
# memory, and the time per frame and per vertex. Extra arguments go to the
# benchmark (for example --benchmark_min_time=2).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh bench
scripts/build.sh linux -DMDL_BENCH=ON import_bench >/dev/null

work=build/bench
mkdir -p "$work/models"
# The peer is a 64-bit program of its own, outside the plug-in's build.
g++ -std=c++17 -O2 bench/peer/peer_time.cpp -lassimp -o "$work/peer_time"
cp sample/column.mdl "$work/models/small.mdl"
build/linux/bin/import_bench --write-models "$work/models"
"$work/peer_time" "$work"/models/*.mdl >"$work/peer.txt"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
build/linux/bin/import_bench --peer "$work/peer.txt" "$@"
