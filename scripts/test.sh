#!/usr/bin/env bash
# Runs the quick checks, then builds everything and runs every test: the unit tests (also under AddressSanitizer and
# UBSan), the end-to-end tests of the Windows program under Wine with a real tray, and a short
# bounded fuzzing of the core (about a minute per target), and the release built twice.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/check.sh
bash scripts/build.sh windows-x64 windows-x86 native native-sanitize

echo "== Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
ctest --test-dir build/native-sanitize -L unit --output-on-failure

echo "== Fuzzing the core: seed replay and a bounded run per target"
bash scripts/fuzz.sh short

echo "== Release: the archives of this commit, built twice and compared"
bash scripts/package.sh

# Last, so that its summary closes the output.
echo "== Unit tests and end-to-end tests under Wine"
ctest --test-dir build/native --output-on-failure
