#!/usr/bin/env bash
# A bounded fuzzing run of the InstInfo.ini reader, starting from the committed seeds. Whatever it finds is left
# in build/fuzz/findings/ to be kept as a regression input under tests/fuzz/corpus/.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}
fuzzer=build/fuzz/tests/fuzz/inst_info_fuzzer
work=build/fuzz/corpus-work
findings=build/fuzz/findings
mkdir -p "$work" "$findings"
cp tests/fuzz/corpus/* "$work/"
# The committed seeds first, as regression inputs, then the timed run.
"$fuzzer" -runs=0 tests/fuzz/corpus >/dev/null 2>&1 || { echo "a committed seed fails"; exit 1; }
"$fuzzer" -max_total_time="$seconds" -max_len=8192 -rss_limit_mb=2048 -artifact_prefix="$findings/" \
    -print_final_stats=1 "$work" 2>&1 | grep -E '^(Done|stat::number_of_executed_units|==|SUMMARY)' || true
[ -z "$(ls -A "$findings")" ]
