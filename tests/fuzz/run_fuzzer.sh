#!/usr/bin/env bash
# A bounded fuzzing run, starting from the committed seeds: tests/fuzz/run_fuzzer.sh [seconds] [inst_info|picture_check]
# Whatever it finds is left in build/fuzz/findings-<name>/ to be kept as a regression input among the seeds.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}
name=${2:-inst_info}
case "$name" in
    inst_info) seeds=tests/fuzz/corpus ;;
    picture_check) seeds=tests/unit/pictures ;;
    *) echo "no fuzzer named $name" >&2; exit 2 ;;
esac
fuzzer=build/fuzz/tests/fuzz/${name}_fuzzer
work=build/fuzz/corpus-work-$name
findings=build/fuzz/findings-$name
mkdir -p "$work" "$findings"
cp "$seeds"/* "$work/"
# The committed seeds first, as regression inputs, then the timed run.
"$fuzzer" -runs=0 "$seeds" >/dev/null 2>&1 || { echo "a committed seed fails"; exit 1; }
"$fuzzer" -max_total_time="$seconds" -max_len=8192 -rss_limit_mb=2048 -artifact_prefix="$findings/" \
    -print_final_stats=1 "$work" 2>&1 | grep -E '^(Done|stat::number_of_executed_units|==|SUMMARY)' || true
[ -z "$(ls -A "$findings")" ]
