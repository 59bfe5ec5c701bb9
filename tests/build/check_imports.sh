#!/usr/bin/env bash
# Fails when a Tessaro.exe imports a DLL that Windows does not resolve from the system folder (a KnownDLL), or
# any C++ runtime DLL: a DLL of any other name could be planted beside the installer and loaded in its place.
# Also keeps each Tessaro.exe small: add-on makers ship it with every add-on.
set -euo pipefail
cd "$(dirname "$0")/../.."

known_dlls="advapi32 clbcatq combase comdlg32 difxapi gdi32 gdiplus imagehlp imm32 kernel32 msctf msvcrt normaliz
nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi user32 wldap32 ws2_32"

max_bytes=$((1024 * 1024))
status=0
for arch in win64 win32; do
    exe="build/$arch/Tessaro.exe"
    if [ ! -f "$exe" ]; then
        echo "check-imports: $exe is missing" >&2
        status=1
        continue
    fi
    objdump=x86_64-w64-mingw32-objdump
    [ "$arch" = win32 ] && objdump=i686-w64-mingw32-objdump
    imports=$($objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sed 's/\.dll$//' | sort -u)
    for dll in $imports; do
        if ! grep -qw -- "$dll" <<<"$known_dlls"; then
            echo "check-imports: $exe imports $dll.dll, which is not a KnownDLL" >&2
            status=1
        fi
    done
    echo "check-imports: $exe imports only KnownDLLs: $(echo $imports | tr '\n' ' ')"
    size=$(stat -c %s "$exe")
    if [ "$size" -gt "$max_bytes" ]; then
        echo "check-imports: $exe is $size bytes, more than $max_bytes" >&2
        status=1
    fi
    echo "check-imports: $exe is $size bytes"
done
exit $status
