#!/usr/bin/env bash
# Builds what the end-to-end tests run and runs them: tests/e2e/run_e2e.sh [pytest arguments]
set -euo pipefail
cd "$(dirname "$0")/../.."

if ! locale -a | grep -qix 'zh_CN.utf8'; then
    sed -i 's/^# *zh_CN.UTF-8/zh_CN.UTF-8/' /etc/locale.gen
    locale-gen >/dev/null
fi

cmake --preset win64 >/dev/null
cmake --build --preset win64

exec /usr/bin/python3 -m pytest tests/e2e "$@"
