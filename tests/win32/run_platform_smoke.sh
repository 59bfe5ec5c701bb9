#!/bin/sh
# Runs platform_smoke.exe (64-bit) under Wine and checks from the Linux side what it left on disk.
#   tests/win32/run_platform_smoke.sh build/win64/platform_smoke.exe [build/win64/CorelDRW.exe]
# With the CorelDRAW stand-in given, the automation layer is also tried against that out-of-process server.
# WINEPREFIX picks the prefix (default /tmp/tessaro-smoke-prefix). With DISPLAY set to a running X server and
# TESSARO_SMOKE_DIALOGS=1 the message boxes are tested too.
set -eu

exe=${1:?usage: $0 path/to/platform_smoke.exe [path/to/CorelDRW.exe]}
standin=${2:-}
export WINEPREFIX="${WINEPREFIX:-/tmp/tessaro-smoke-prefix}"
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all
# The ANSI code page follows the locale; 936 is the one the installer's users have.
export LC_ALL=zh_CN.UTF-8

# WINE and WINESERVER pick another Wine, e.g. scripts/wine32/wine for the x86 build.
wine=${WINE:-/usr/lib/wine/wine64}
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
wineserver=${WINESERVER:-/usr/lib/wine/wineserver}
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

[ -d "$WINEPREFIX/drive_c" ] || "$wine" wineboot -i >/dev/null 2>&1

dir="$WINEPREFIX/drive_c/tessaro-smoke"
rm -rf "$dir"
mkdir -p "$dir/bin"
cp "$exe" "$dir/bin/platform_smoke.exe"
if [ -n "$standin" ]; then
    mkdir -p "$dir/corel"
    cp "$standin" "$dir/corel/CorelDRW.exe"
    export TESSARO_SMOKE_STANDIN='C:\tessaro-smoke\corel\CorelDRW.exe'
fi

out=$(mktemp)
status=0
(cd "$dir" && "$wine" 'C:\tessaro-smoke\bin\platform_smoke.exe') >"$out" 2>&1 || status=$?
cat "$out"

python3 - "$dir/log.txt" "$out" <<'PY' || status=$((status + 1))
import re, sys
log = open(sys.argv[1], "rb").read()
expected = "第一行 安装开始 CorelDRAW X3\r\n第二个实例 追加一行\r\n第三行 ? 无法映射\r\n\r\n第四行 reopened\r\n"
text = log.decode("gbk")
ok = text == expected
print(("PASS" if ok else "FAIL") + " (linux) log.txt decodes as GBK:", repr(text))
stamp = [l for l in open(sys.argv[2], "rb").read().decode("utf-8", "replace").splitlines() if l.startswith("TIMESTAMP ")]
stamp_ok = bool(stamp) and re.fullmatch(r"\d{4}/\d{1,2}/\d{1,2} \d{1,2}:\d{2}:\d{2}", stamp[0][10:]) is not None
print(("PASS" if stamp_ok else "FAIL") + " (linux) zh-CN short date and time:", stamp[0][10:] if stamp else None)
sys.exit(0 if ok and stamp_ok else 1)
PY

"$wineserver" -k || true
rm -f "$out"
echo "exit status $status"
exit "$status"
