#!/usr/bin/env bash
# Measures Perchlet against the floor program under Wine and the core's throughput, prints the
# table and fails when a performance target is missed. Options go to bench/bench.py (--runs,
# --idle, --skip-wine). Run it on a quiet machine: other work distorts the timings.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/build.sh windows-x64 windows-x86
# The core as it ships: optimised for size, with the benchmark that only this build has.
cmake -S . -B build/bench-native -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DPERCHLET_BENCH=ON >/dev/null
cmake --build build/bench-native --target core_bench
exec python3 bench/bench.py "$@"
