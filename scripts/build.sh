#!/usr/bin/env bash
# Builds the two Windows programs and the native core with its tests.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in "$@"; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
