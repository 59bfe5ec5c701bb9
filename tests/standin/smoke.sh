#!/usr/bin/env bash
# Smoke test of the CorelDRAW stand-in under Wine: registration in a fresh prefix, activation by COM, answers,
# failures, journal lines, Quit, NoDispatch, DieOn, Delay, the plain window mode and unregistration.
#
#   tests/standin/smoke.sh [build dir]        (default: build/win64; needs CorelDRW.exe and CorelStandinClient.exe)
#
# STANDIN_PREFIX   the Wine prefix to create afresh (default /tmp/standin-prefix; must lie under /tmp)
# STANDIN_DISPLAY  an X display for the window check (e.g. :61); without it that check is skipped
set -u

repo=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$repo/build/win64}" && pwd)
export WINEPREFIX=${STANDIN_PREFIX:-/tmp/standin-prefix}
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all LC_ALL=zh_CN.UTF-8
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

case "$WINEPREFIX" in
    /tmp/?*) ;;
    *) echo "STANDIN_PREFIX must lie under /tmp" >&2; exit 2 ;;
esac
for exe in CorelDRW.exe CorelStandinClient.exe; do
    [ -f "$build/$exe" ] || { echo "missing $build/$exe" >&2; exit 2; }
done

failures=0
pass() { echo "ok   $1"; }
fail() { echo "FAIL $1"; failures=$((failures + 1)); }
run() { timeout 60 "$wine" "$@"; }
reset_wine() { timeout 30 "$wineserver" -k 2>/dev/null; sleep 0.5; }

# The server lives in a folder with blanks and Chinese in its name, as the quoting and the journal must cope.
server_win='C:\Program Files\Corel 替身\Programs'
server_dir="$WINEPREFIX/drive_c/Program Files/Corel 替身/Programs"
journal="$server_dir/CorelDRW.journal"
out=$(mktemp -d /tmp/standin-smoke.XXXXXX)

expect_output() {  # label, output file, fixed string expected in it
    if grep -qF -- "$3" "$2"; then pass "$1"; else fail "$1: no '$3' in output"; sed 's/^/     /' "$2"; fi
}

expect_journal() {  # label, expected lines (LF); the journal must say exactly that, each line ending in CR LF
    local got
    got=$(tr -d '\r' < "$journal" 2>/dev/null)
    if [ "$got" != "$2" ]; then
        fail "$1: journal differs"
        diff <(echo "$2") <(echo "$got") | sed 's/^/     /'
    elif [ "$(grep -c $'\r$' "$journal")" != "$(wc -l < "$journal")" ]; then
        fail "$1: journal lines do not end in CR LF"
    else
        pass "$1"
    fi
}

server_alive() {  # a CorelDRW.exe process of this prefix that has not ended (zombies do not count)
    local pid
    for pid in $(pgrep -i 'CorelDRW\.exe'); do
        case "$(ps -o stat= -p "$pid" 2>/dev/null)" in Z*|"") continue ;; esac
        # Others may run their own stand-ins in other prefixes at the same time.
        tr '\0' '\n' < "/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && return 0
    done
    return 1
}

# Runs the client with the given steps in the server's folder; output in $out/<name>.txt.
client() {
    local name=$1
    shift
    (cd "$server_dir" && run ./CorelStandinClient.exe "$@") > "$out/$name.txt" 2>&1
}

fresh_case() {  # ini contents (may be empty: no ini file)
    reset_wine
    rm -f "$journal" "$server_dir/CorelDRW.ini"
    if [ -n "$1" ]; then printf '%s' "$1" > "$server_dir/CorelDRW.ini"; fi
}

echo "== fresh prefix $WINEPREFIX"
reset_wine
rm -rf "$WINEPREFIX"
timeout 300 "$wine" wineboot -i > "$out/wineboot.txt" 2>&1
mkdir -p "$server_dir"
cp "$build/CorelDRW.exe" "$build/CorelStandinClient.exe" "$server_dir/"

echo "== registration"
client before create
expect_output "unregistered ProgID is unknown" "$out/before.txt" "! CLSIDFromProgID hr=0x800401F3"
run "$server_win\\CorelDRW.exe" /RegServer
status=$?
[ $status -eq 0 ] && pass "/RegServer exits 0" || fail "/RegServer exit status $status"
run reg query 'HKCR\CorelDRAW.Application.13\CLSID' | iconv -f gbk -t utf-8 > "$out/reg-progid.txt"
expect_output "ProgID names the CLSID" "$out/reg-progid.txt" "{574AB38F-EED3-4D08-8F18-9B8A52A75264}"
run reg query 'HKCR\CLSID\{574AB38F-EED3-4D08-8F18-9B8A52A75264}\LocalServer32' | iconv -f gbk -t utf-8 \
    > "$out/reg-server.txt"
expect_output "LocalServer32 is the quoted program path" "$out/reg-server.txt" "\"$server_win\\CorelDRW.exe\""

echo "== defaults, no ini file"
fresh_case ""
client defaults create Visible Visible=true Visible UserDataPath GMSManager.GMSPath gmsmanager.usergmspath Path \
    Application.Path Application.Application.Path CommandBars.Count 'CommandBars[Standard].Name' \
    'CommandBars[#2].Name' 'CommandBars.Item(Toolbox).Name' 'CommandBars[Standard].Delete' 'CommandBars[Standard]' \
    CommandBars.Count 'ImportWorkspace(C:\addon\my.cdws)' Bogus running:CorelDRW.exe Quit \
    waitgone:CorelDRW.exe:5000 Visible
f="$out/defaults.txt"
expect_output "COM starts the server with -Embedding" "$f" "created"
expect_output "Visible starts False" "$f" "= False"
expect_output "Visible put then get" "$f" "= True"
expect_output "default UserDataPath" "$f" "= \"$server_win\\User Data\""
expect_output "default GMSPath" "$f" "= \"$server_win\\GMS\""
expect_output "default UserGMSPath (names ignore case)" "$f" "= \"$server_win\\User GMS\""
expect_output "default Path" "$f" "= \"$server_win\\Programs\""
expect_output "bar by index" "$f" "= \"Toolbox\""
expect_output "deleted bar is no longer found" "$f" \
    "! Invoke(<default>) hr=0x80020009 wCode=0 scode=0x80070057 (-2147024809) source=\"CorelDRAW\" description=\"找不到命令栏“Standard”\""
expect_output "Count after Delete" "$f" "= 1"
expect_output "unknown member" "$f" "! GetIDsOfNames(Bogus) hr=0x80020006"
expect_output "server ran before Quit" "$f" "running, pid"
expect_output "Quit ends the server" "$f" "gone"
expect_output "calls after Quit fail with an RPC error" "$f" "! GetIDsOfNames(Visible) hr=0x800706BA"
server_alive && fail "a CorelDRW.exe process is left after Quit" || pass "no CorelDRW.exe process left (ps)"
expect_journal "journal of the default run" "Create
Visible
Visible=True
Visible
UserDataPath
GMSManager
GMSManager.GMSPath
GMSManager
GMSManager.UserGMSPath
Path
Application
Application.Path
Application
Application
Application.Path
CommandBars
CommandBars.Count
CommandBars
CommandBars(Standard)
CommandBars(Standard).Name
CommandBars
CommandBars(2)
CommandBars(2).Name
CommandBars
CommandBars(Toolbox)
CommandBars(Toolbox).Name
CommandBars
CommandBars(Standard)
CommandBars(Standard).Delete
CommandBars
CommandBars(Standard) not found
CommandBars
CommandBars.Count
ImportWorkspace C:\addon\my.cdws
Bogus unknown
Quit"

echo "== ini answers, Chinese text, injected failures"
fresh_case $'\xef\xbb\xbfUserDataPath=C:\\用户\\User Data\r\nGMSPath=C:\\用户\\GMS\r\nUserGMSPath=\r\napplicationpath=  D:\\Corel 13\\Programs  \nCommandBars=我的工具栏|Standard\r\nFail.GMSPath=48\r\nFail.ImportWorkspace=-2147467259\r\nFailText.ImportWorkspace=工作区导入失败\r\n'
client chinese create UserDataPath GMSManager.GMSPath GMSManager.UserGMSPath Path 'CommandBars[我的工具栏].Name' \
    'CommandBars[我的工具栏].Delete' 'CommandBars[我的工具栏]' 'ImportWorkspace(C:\用户\插件\my.cdws)' release \
    waitgone:CorelDRW.exe:5000
f="$out/chinese.txt"
expect_output "Chinese UserDataPath round-trips" "$f" '= "C:\用户\User Data"'
expect_output "EXCEPINFO of Fail.GMSPath" "$f" \
    "! Invoke(GMSPath) hr=0x80020009 wCode=0 scode=0x00000030 (48) source=\"CorelDRAW\" description=\"CorelDRAW 替身按设定让 GMSPath 失败，错误号 48\""
expect_output "empty value answered as empty" "$f" '= ""'
expect_output "value not trimmed" "$f" '= "  D:\Corel 13\Programs  "'
expect_output "Chinese bar name" "$f" '= "我的工具栏"'
expect_output "Chinese bar gone after Delete" "$f" "scode=0x80070057 (-2147024809) source=\"CorelDRAW\" description=\"找不到命令栏“我的工具栏”\""
expect_output "negative failure number and FailText" "$f" \
    "scode=0x80004005 (-2147467259) source=\"CorelDRAW\" description=\"工作区导入失败\""
expect_output "releasing everything ends the server" "$f" "gone"
expect_journal "journal of the Chinese run" "Create
UserDataPath
GMSManager
GMSManager.GMSPath failed 48
GMSManager
GMSManager.UserGMSPath
Path
CommandBars
CommandBars(我的工具栏)
CommandBars(我的工具栏).Name
CommandBars
CommandBars(我的工具栏)
CommandBars(我的工具栏).Delete
CommandBars
CommandBars(我的工具栏) not found
ImportWorkspace C:\用户\插件\my.cdws failed -2147467259"

echo "== more failures"
fresh_case $'Fail.Visible=5\r\nFAIL.item=7\r\nFail.Delete=13\r\nFail.Quit=-2147418113\r\n'
client failures create Visible=false Visible 'CommandBars[Standard]' 'CommandBars(Standard)' 'CommandBars.Item(#1)' \
    Quit running:CorelDRW.exe
f="$out/failures.txt"
expect_output "Fail.Visible" "$f" "scode=0x00000005 (5)"
expect_output "Fail.Item" "$f" "scode=0x00000007 (7)"
expect_output "Fail.Quit" "$f" "scode=0x8000FFFF (-2147418113)"
expect_output "a failed Quit leaves the server running" "$f" "running, pid"
expect_journal "journal of the failures run" "Create
Visible=False failed 5
Visible failed 5
CommandBars
CommandBars(Standard) failed 7
CommandBars
CommandBars(Standard) failed 7
CommandBars
CommandBars(1) failed 7
Quit failed -2147418113"

fresh_case $'Fail.Delete=13\r\nFail.CommandBars=91\r\n'
client failures2 create 'CommandBars[Toolbox]' Quit
expect_output "Fail.CommandBars" "$out/failures2.txt" "scode=0x0000005B (91)"
expect_journal "journal of Fail.CommandBars" "Create
CommandBars failed 91
Quit"

fresh_case $'Fail.Delete=13\r\n'
client failures3 create 'CommandBars[Toolbox].Delete' 'CommandBars.Count' Quit
expect_output "Fail.Delete" "$out/failures3.txt" "scode=0x0000000D (13)"
expect_output "a failed Delete keeps the bar" "$out/failures3.txt" "= 2"
expect_journal "journal of Fail.Delete" "Create
CommandBars
CommandBars(Toolbox)
CommandBars(Toolbox).Delete failed 13
CommandBars
CommandBars.Count
Quit"

echo "== NoDispatch"
fresh_case $'NoDispatch=1\r\n'
client nodispatch create waitgone:CorelDRW.exe:5000
expect_output "creation fails with E_NOINTERFACE" "$out/nodispatch.txt" "! CoCreateInstance hr=0x80004002"
expect_output "the refused server ends" "$out/nodispatch.txt" "gone"
expect_journal "journal of NoDispatch" "Create NoDispatch"

echo "== DieOn"
fresh_case $'DieOn=GMSPath\r\n'
client dieon create GMSManager.UserGMSPath GMSManager.GMSPath UserDataPath waitgone:CorelDRW.exe:5000
status=$?
f="$out/dieon.txt"
[ $status -ne 124 ] && pass "no hang after the server died" || fail "client timed out after the server died"
expect_output "the dying call fails with RPC_S_CALL_FAILED" "$f" "! Invoke(GMSPath) hr=0x800706BE"
expect_output "the next call fails with RPC_S_SERVER_UNAVAILABLE" "$f" "! GetIDsOfNames(UserDataPath) hr=0x800706BA"
expect_journal "journal of DieOn" "Create
GMSManager
GMSManager.UserGMSPath
GMSManager
GMSManager.GMSPath died"

fresh_case $'DieOn=Create\r\n'
client diecreate create
expect_output "dying at creation fails the creation" "$out/diecreate.txt" "! CoCreateInstance hr=0x800706BE"
expect_journal "journal of DieOn=Create" "Create died"

echo "== Delay"
fresh_case $'Delay.UserDataPath=1500\r\n'
client delay create UserDataPath Quit
ms=$(grep -A1 '^> UserDataPath' "$out/delay.txt" | sed -n 's/.*(\([0-9]*\) ms)$/\1/p')
[ "${ms:-0}" -ge 1500 ] && pass "Delay.UserDataPath took ${ms} ms" || fail "Delay.UserDataPath took ${ms:-?} ms"

echo "== plain window mode"
if [ -n "${STANDIN_DISPLAY:-}" ]; then
    fresh_case ""
    plain_dir="$WINEPREFIX/drive_c/Corel/Programs"
    mkdir -p "$plain_dir"
    cp "$build/CorelDRW.exe" "$plain_dir/coreldrw.exe"
    DISPLAY=$STANDIN_DISPLAY timeout 120 "$wine" 'C:\Corel\Programs\coreldrw.exe' > "$out/window-run.txt" 2>&1 &
    sleep 1
    DISPLAY=$STANDIN_DISPLAY client window 'window:CorelDRAW X3 (stand-in)' running:coreldrw.exe \
        'close:CorelDRAW X3 (stand-in)' waitgone:coreldrw.exe:10000
    f="$out/window.txt"
    expect_output "process named coreldrw.exe runs" "$f" "running, pid"
    expect_output "its window is shown" "$f" "visible window, pid"
    expect_output "the window belongs to coreldrw.exe" "$f" "(coreldrw.exe)"
    expect_output "closing the window ends it" "$f" "gone"
    [ ! -e "$plain_dir/CorelDRW.journal" ] && pass "plain mode journals nothing" || fail "plain mode wrote a journal"
else
    echo "skip (no STANDIN_DISPLAY)"
fi

echo "== unregistration"
reset_wine
run "$server_win\\CorelDRW.exe" /UnregServer
status=$?
[ $status -eq 0 ] && pass "/UnregServer exits 0" || fail "/UnregServer exit status $status"
client after create
expect_output "ProgID gone after /UnregServer" "$out/after.txt" "! CLSIDFromProgID hr=0x800401F3"
run reg query 'HKCR\CLSID\{574AB38F-EED3-4D08-8F18-9B8A52A75264}' > /dev/null 2>&1 &&
    fail "CLSID key left after /UnregServer" || pass "CLSID key removed"

reset_wine
echo "== $failures failure(s); outputs in $out"
[ $failures -eq 0 ]
