#!/usr/bin/env bash
# Prints Perchlet's reliability table in markdown: per fuzz target its executions and crashes,
# per fault case under Wine whether the program came through it, and the balance of GUI objects
# over the exit fade.
#
#   bash scripts/reliability.sh            build, fuzz each target briefly (scripts/fuzz.sh short),
#                                          run the Wine reliability tests, then print the table
#   bash scripts/reliability.sh --no-run   print the table from the figures of the last runs
#
# The figures come from build/fuzz/summary-short.tsv (written by scripts/fuzz.sh; FUZZ_SUMMARY
# names another) and build/native/reliability-results.json (written by
# tests/wine/test_reliability.py; PERCHLET_RELIABILITY_RESULTS names another). Exits non-zero
# when a run failed or a figure shows a crash, a failed case or an imbalance.
set -euo pipefail
cd "$(dirname "$0")/.."

fuzz_summary=${FUZZ_SUMMARY:-build/fuzz/summary-short.tsv}
wine_results=${PERCHLET_RELIABILITY_RESULTS:-build/native/reliability-results.json}
status=0

if [ "${1:-}" != "--no-run" ]; then
    bash scripts/install-deps.sh
    bash scripts/build.sh windows-x64 native
    if [ -f scripts/fuzz.sh ]; then
        bash scripts/fuzz.sh short || status=1
    else
        echo "scripts/fuzz.sh is missing: no fuzz figures" >&2
        rm -f "$fuzz_summary"
    fi
    rm -f "$wine_results"
    # The session fixtures come along with the test that needs them.
    ctest --test-dir build/native -R '^wine_x64_test_reliability$' --output-on-failure || status=1
fi

python3 - "$fuzz_summary" "$wine_results" <<'EOF' || status=1
import csv
import json
import sys
from pathlib import Path

fuzz_path, wine_path = map(Path, sys.argv[1:3])
bad = False
print("## Reliability\n")

print("| fuzz target | executions | crashes | seconds |")
print("|---|---:|---:|---:|")
if fuzz_path.exists():
    with fuzz_path.open() as table:
        for row in csv.DictReader(table, delimiter="\t"):
            crashes = int(row["crashes"] or 0)
            bad |= crashes != 0
            print(f"| {row['target']} | {int(row['executions'] or 0):,} | {crashes} | "
                  f"{row['seconds']} |")
else:
    print("| (no fuzz run yet: `bash scripts/fuzz.sh short`) | | | |")
    bad = True

results = json.loads(wine_path.read_text()) if wine_path.exists() else None
print("\n| fault case (Wine) | survived |")
print("|---|---|")
if results and results["cases"]:
    for name, case in sorted(results["cases"].items()):
        bad |= not case["survived"]
        detail = f" ({case['detail']})" if case.get("detail") and not case["survived"] else ""
        print(f"| {name} | {'yes' if case['survived'] else 'NO' + detail} |")
else:
    print("| (no Wine reliability run yet) | |")
    bad = True

if results:
    timing = results["balance"].get("batch timing")
    if timing:
        print("\n| batch file | start to 30 icons | refusing the rest | per refused line |")
        print("|---|---:|---:|---:|")
        for lines, figures in timing["lines"].items():
            print(f"| {int(lines):,} lines | {figures['start to 30 icons s']} s | "
                  f"{figures['refusing the rest s']} s | "
                  f"{timing['ms per refused line'][lines]} ms |")
    kinds = ["icons", "bitmaps", "dcs", "modules", "keys", "files", "menus", "windows",
             "brushes", "fonts"]
    balances = {name: figures for name, figures in results["balance"].items()
                if name != "batch timing"}
    if balances:
        print("\n| live objects | when | " + " | ".join(kinds) + " |")
        print("|---|---|" + "---:|" * len(kinds))
        for name, figures in balances.items():
            for when in ("after start-up", "after the first tick", "after the last tick",
                         "at shutdown"):
                values = figures.get(when, {})
                label = when if when != "after the last tick" else \
                    f"after the last tick (#{figures.get('ticks', '?')})"
                print(f"| {name} | {label} | " +
                      " | ".join(str(values.get(kind, "")) for kind in kinds) + " |")
            first = figures.get("after the first tick", {})
            bad |= first != figures.get("after the last tick", {})
            bad |= any(figures.get("at shutdown", {"": 1}).values())
sys.exit(1 if bad else 0)
EOF
exit "$status"
