#!/usr/bin/env bash
# Builds and tests every configuration: native, native under AddressSanitizer
# and UBSan, 32-bit x86 Linux, and the real target (32-bit Windows DLL,
# tests under Wine). Stops at the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh all

# Wine gets a prefix of its own inside the build tree and stays quiet.
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
stop_wine() { wineserver -k >/dev/null 2>&1 || true; }
trap stop_wine EXIT

for preset in native sanitize m32 mingw; do
    echo "=== $preset ==="
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    if [ "$preset" = mingw ]; then
        wineboot -i >/dev/null 2>&1 || true
        wineserver -p >/dev/null 2>&1 || true # keep one server for all tests
    fi
    ctest --preset "$preset"
done
echo "All configurations passed."
