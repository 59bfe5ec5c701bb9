#!/usr/bin/env bash
# Runs the x86 build under the WoW64 Wine root (scripts/setup-wine32) in a fresh prefix: instinfo-check.exe must
# print the same report and exit with the same status as the host build on the same files, and
# platform_smoke.exe must pass. One wineserver is kept alive throughout.
#   tests/x86/run_x86_smoke.sh        (TESSARO_X86_TIMEOUT: seconds per program, default 300)
set -euo pipefail
cd "$(dirname "$0")/../.."

wine=$PWD/scripts/wine32/wine
wineserver=$PWD/scripts/wine32/wineserver
host_check=build/host/tools/instinfo_check/instinfo-check
limit=${TESSARO_X86_TIMEOUT:-300}
samples=(good.ini no-fileitem.ini undecodable.ini)

for f in "$wine" "$host_check" build/win32/instinfo-check.exe build/win32/platform_smoke.exe; do
    [ -x "$f" ] || [ -f "$f" ] || { echo "FAIL missing $f" >&2; exit 1; }
done

WINEPREFIX=$(mktemp -d /tmp/tessaro-x86-XXXXXX)
work=$(mktemp -d /tmp/tessaro-x86-out-XXXXXX)
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" LC_ALL=zh_CN.UTF-8
cleanup() {
    "$wineserver" -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX" "$work"
}
trap cleanup EXIT

start=$(date +%s)
elapsed() { echo "$(($(date +%s) - start)) s"; }
"$wineserver" -p
timeout "$limit" "$wine" wineboot -i >/dev/null 2>&1
echo "prefix ready after $(elapsed)"

failed=0
for sample in "${samples[@]}"; do
    (
        status=0
        timeout "$limit" "$wine" build/win32/instinfo-check.exe "tests/instinfo_check/examples/$sample" \
            >"$work/$sample.x86" 2>"$work/$sample.x86.err" || status=$?
        echo "$status" >"$work/$sample.x86.status"
    ) &
done
wait
for sample in "${samples[@]}"; do
    file=tests/instinfo_check/examples/$sample
    expected_status=0
    "$host_check" "$file" >"$work/$sample.host" 2>/dev/null || expected_status=$?
    status=$(cat "$work/$sample.x86.status")
    # The Windows console ends lines with CRLF; the text itself must be the same.
    tr -d '\r' <"$work/$sample.x86" >"$work/$sample.x86.lf"
    if [ "$status" = "$expected_status" ] && [ -s "$work/$sample.host" ] && cmp -s "$work/$sample.host" "$work/$sample.x86.lf"; then
        echo "PASS instinfo-check.exe (x86) agrees with the host build on $sample (exit status $status)"
    else
        echo "FAIL instinfo-check.exe (x86) on $sample: exit status $status, host $expected_status"
        diff "$work/$sample.host" "$work/$sample.x86.lf" | head -20 || true
        head -5 "$work/$sample.x86.err"
        failed=$((failed + 1))
    fi
done
echo "instinfo-check done after $(elapsed)"

if WINE=$wine WINESERVER=$wineserver timeout "$limit" tests/win32/run_platform_smoke.sh build/win32/platform_smoke.exe; then
    echo "PASS platform_smoke.exe (x86)"
else
    echo "FAIL platform_smoke.exe (x86)"
    failed=$((failed + 1))
fi
echo "x86 smoke finished after $(elapsed), $failed failure(s)"
[ "$failed" -eq 0 ]
