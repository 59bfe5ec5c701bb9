#!/usr/bin/env bash
# Build checks of the exes we ship (Tessaro.exe, instinfo-check.exe and tessaro-pack.exe, x86 and x64):
# - every import exists on every supported Windows: ../shared/check-imports against Windows 2000 SP4 (x86 only:
#   there is no 64-bit Windows 2000), XP SP2, Vista SP2 and 7 SP1 without KB2533623, which also checks the
#   subsystem version and the embedded manifest;
# - Tessaro.exe imports only DLLs that Windows resolves from the system folder (KnownDLLs), never a C++ runtime
#   DLL: a DLL of any other name could be planted beside the installer and loaded in its place;
# - the manifest asks for the execution level docs/windows-versions.md explains;
# - the shipped Tessaro.exe has no trace of the test-only switch that hides newer functions;
# - each Tessaro.exe stays within its size budget, with read-only constants: add-on makers ship it with every
#   add-on.
set -euo pipefail
cd "$(dirname "$0")/../.."

check_imports=${TESSARO_CHECK_IMPORTS:-../shared/check-imports/check-imports}
known_dlls="advapi32 clbcatq combase comdlg32 difxapi gdi32 gdiplus imagehlp imm32 kernel32 msctf msvcrt normaliz
nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi user32 wldap32 ws2_32"
status=0
fail() {
    echo "check-imports: $*" >&2
    status=1
}

if [ ! -x "$check_imports" ]; then
    fail "$check_imports is missing (it lives in ../shared beside the checkout)"
    exit 1
fi

# The UTF-16LE bytes of a text, as a grep -P pattern.
utf16_pattern() {
    printf '%s' "$1" | sed 's/./&\\x00/g'
}

for arch in win32 win64; do
    objdump=x86_64-w64-mingw32-objdump
    targets=(--target xp --target vista --target win7)
    if [ "$arch" = win32 ]; then
        objdump=i686-w64-mingw32-objdump
        targets=(--target 2000 "${targets[@]}")
    fi
    for exe in "build/$arch/Tessaro.exe" "build/$arch/instinfo-check.exe" "build/$arch/tessaro-pack.exe"; do
        if [ ! -f "$exe" ]; then
            fail "$exe is missing"
            continue
        fi
        if ! report=$("$check_imports" --strict "${targets[@]}" "$exe"); then
            echo "$report" >&2
            fail "$exe does not load on every supported Windows"
        else
            echo "check-imports: $exe loads on $(grep -c 'loads (as far as the data tells)' <<<"$report") targets"
        fi
        if grep -q "not covered by the data" <<<"$report"; then
            grep "not covered by the data" <<<"$report" >&2
            fail "$exe imports a DLL the data does not cover"
        fi
    done

    exe="build/$arch/Tessaro.exe"
    [ -f "$exe" ] || continue
    imports=$($objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sed 's/\.dll$//' | sort -u)
    # An empty list would pass the loop below by default: the loader would leave every import unbound.
    grep -qx kernel32 <<<"$imports" || fail "$exe has no import directory that names kernel32.dll"
    for dll in $imports; do
        grep -qw -- "$dll" <<<"$known_dlls" || fail "$exe imports $dll.dll, which is not a KnownDLL"
    done
    echo "check-imports: $exe imports only KnownDLLs: $(echo $imports | tr '\n' ' ')"
    grep -q 'requestedExecutionLevel level="highestAvailable" uiAccess="false"' "$exe" ||
        fail "$exe does not ask for the highestAvailable execution level"
    if grep -qaP "$(utf16_pattern TESSARO_TEST_HIDE_APIS)" "$exe"; then
        fail "$exe reads TESSARO_TEST_HIDE_APIS: only the test variant may"
    fi
    grep -qaP "$(utf16_pattern TESSARO_TEST_HIDE_APIS)" "build/$arch/Tessaro-api-fallback.exe" ||
        fail "build/$arch/Tessaro-api-fallback.exe does not honour TESSARO_TEST_HIDE_APIS (the check above proves nothing)"
    # Constants and vtables stay read-only: some linker options (--disable-runtime-pseudo-reloc) fold .rdata into
    # the writable .data.
    $objdump -h "$exe" | grep -A1 ' \.rdata ' | grep -q READONLY || fail "$exe has no read-only .rdata section"
    # The installer's budget. x86, the build makers ship: at 111,104 bytes the Setup.exe of the demo add-on and of a
    # 1 MB one stay no larger than an NSIS installer of the same files, with room for the few hundred bytes by which
    # makensis's output varies (docs/performance.md); any growth has to be paid for. x64: one library call that
    # throws, or a std::make_shared without RTTI, brings the exception runtime back, about 40 KB.
    budget=$((140 * 1024))
    [ "$arch" = win64 ] || budget=111104
    size=$(stat -c %s "$exe")
    [ "$size" -le "$budget" ] || fail "$exe is $size bytes, more than its budget of $budget"
    echo "check-imports: $exe is $size bytes (budget $budget)"
done
exit $status
