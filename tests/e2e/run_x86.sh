#!/usr/bin/env bash
# The end-to-end tests marked x86, against build/win32 under the Wine of scripts/setup-wine32 (WoW64 mode: the
# 32-bit programs run natively, so the usual timeouts hold).
#   tests/e2e/run_x86.sh [pytest arguments]     e.g. -m "" for every test, -k road for one
set -euo pipefail
cd "$(dirname "$0")/../.."

for exe in Tessaro.exe CorelDRW.exe marker.exe uidriver.exe uidriver_hook.dll; do
    [ -f "build/win32/$exe" ] || { echo "run_x86: build/win32/$exe is missing; run scripts/build win32" >&2; exit 1; }
done
scripts/setup-wine32

export TESSARO_BUILD_DIR=build/win32
export E2E_WINE=$PWD/scripts/wine32/wine E2E_WINESERVER=$PWD/scripts/wine32/wineserver
export E2E_ARTIFACTS=${E2E_ARTIFACTS:-build/e2e-artifacts-x86}
exec /usr/bin/python3 -m pytest tests/e2e -q -p no:cacheprovider -m x86 "$@"
