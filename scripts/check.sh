#!/usr/bin/env bash
# The checks that answer in seconds, before anything is built: the C++ formatting and the lint
# of the Python test code.
set -euo pipefail
cd "$(dirname "$0")/.."

echo "== Formatting"
git ls-files -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'fuzz/*.cpp' 'fuzz/*.h' 'bench/*.cpp' |
    xargs clang-format --dry-run --Werror

echo "== Python lint"
git ls-files -- 'tests/*.py' 'bench/*.py' 'fuzz/*.py' | xargs flake8
