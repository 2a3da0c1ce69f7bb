#!/usr/bin/env bash
# Builds and tests every configuration: native, native under AddressSanitizer
# and UBSan, 32-bit x86 Linux, and the real target (32-bit Windows DLL,
# tests under Wine); then fuzzes DAEMON for half a minute. Stops at the first
# failure.
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

# A short fuzzing run over DAEMON, from the seed messages, as a smoke test.
echo "=== fuzz ==="
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
corpus=build/fuzz/corpus
mkdir -p "$corpus"
cp fuzz/corpus/* "$corpus"/
if ! build/fuzz/bin/velmora_daemon_fuzz -max_total_time=30 -max_len=20000 \
    -artifact_prefix=build/fuzz/ "$corpus" >build/fuzz/fuzz.log 2>&1; then
    tail -n 60 build/fuzz/fuzz.log
    echo "Fuzzing found a failure; the input is in build/fuzz/."
    exit 1
fi
tail -n 1 build/fuzz/fuzz.log
echo "All configurations passed."
