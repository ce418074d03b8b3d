#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz), replays each seed corpus in fuzz/corpus/, then
# fuzzes each target for a bounded time and prints its executions and crashes.
#
#   scripts/fuzz.sh short [target...]   60 s per target (part of scripts/test.sh)
#   scripts/fuzz.sh long [target...]    30 min per target
#
# FUZZ_SECONDS sets the time per target. New inputs and crash files go to a scratch folder
# (FUZZ_WORK, default a new folder under $TMPDIR or /tmp), never into the repository; it is
# removed after a clean short run and kept otherwise. To keep a crash as a seed, copy it into
# fuzz/corpus/<target>/. The figures are also written, tab-separated, to FUZZ_SUMMARY (default
# build/fuzz/summary-<mode>.tsv).
# Exits non-zero when any replay or run crashed, timed out or ran out of memory.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-short}
case "$mode" in
short) seconds=${FUZZ_SECONDS:-60} ;;
long) seconds=${FUZZ_SECONDS:-1800} ;;
*)
    echo "usage: $0 short|long [target...]" >&2
    exit 2
    ;;
esac
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(command_line options batch association ico_builder pe_resources)

echo "== Fuzzing: building the fuzz preset"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

keep_work=${FUZZ_WORK:+yes}
work=${FUZZ_WORK:-$(mktemp -d "${TMPDIR:-/tmp}/perchlet-fuzz.XXXXXX")}
mkdir -p "$work"
summary=${FUZZ_SUMMARY:-build/fuzz/summary-$mode.tsv}
mkdir -p "$(dirname "$summary")"
printf 'target\texecutions\tcrashes\tseconds\n' >"$summary"

passed=0
failed=0
for target in "${targets[@]}"; do
    fuzzer=build/fuzz/fuzz/fuzz_$target
    seeds=fuzz/corpus/$target
    out=$work/$target
    mkdir -p "$out/corpus" "$out/artifacts"
    [ -x "$fuzzer" ] || {
        echo "no fuzz target '$target'" >&2
        exit 2
    }

    # Every seed, including the inputs that once crashed, must still run clean.
    replay=ok
    shopt -s nullglob
    inputs=("$seeds"/*)
    shopt -u nullglob
    if [ ${#inputs[@]} -gt 0 ] &&
        ! "$fuzzer" -artifact_prefix="$out/artifacts/" "${inputs[@]}" >"$out/replay.log" 2>&1; then
        replay=failed
        tail -n 30 "$out/replay.log" >&2
    fi

    # New inputs go to the first corpus folder only, so the seeds are read but never written.
    status=0
    "$fuzzer" -print_final_stats=1 -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$out/artifacts/" "$out/corpus" "$seeds" >"$out/fuzz.log" 2>&1 ||
        status=$?
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/fuzz.log" | tail -n 1)
    crashes=$(find "$out/artifacts" -type f \
        \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)
    if [ "$status" -ne 0 ] && [ "$crashes" -eq 0 ]; then
        crashes=1 # a failure that left no input behind still counts
    fi
    if [ "$status" -ne 0 ]; then
        grep -A 25 -m 1 -E '^==[0-9]+==ERROR|runtime error|check failed|ALARM|out-of-memory' \
            "$out/fuzz.log" >&2 || tail -n 30 "$out/fuzz.log" >&2
    fi

    printf '%-13s %12s executions  %d crashes  %s s  replay of %d seeds %s\n' "$target" \
        "${executions:-?}" "$crashes" "$seconds" "${#inputs[@]}" "$replay"
    printf '%s\t%s\t%s\t%s\n' "$target" "${executions:-0}" "$crashes" "$seconds" >>"$summary"
    if [ "$crashes" -eq 0 ] && [ "$replay" = ok ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
    fi
done

if [ "$failed" -eq 0 ] && [ "$mode" = short ] && [ -z "$keep_work" ]; then
    rm -rf "$work"
else
    echo "New inputs and crash files are in $work"
fi
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
