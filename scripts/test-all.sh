#!/usr/bin/env bash
# Builds and tests every configuration: native (then again under valgrind),
# native under AddressSanitizer and UBSan, native under ThreadSanitizer,
# 32-bit x86 Linux, and the real
# target (32-bit Windows DLL, tests under Wine, and a second build that must
# give the same bytes); then fuzzes the module for a short while. Stops at
# the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
# As many build and test jobs as this machine has cores, unless told.
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
export CTEST_PARALLEL_LEVEL="${CTEST_PARALLEL_LEVEL:-$(nproc)}"

bash scripts/install-deps.sh all

# Wine gets a prefix of its own inside the build tree and stays quiet.
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
stop_wine() { wineserver -k >/dev/null 2>&1 || true; }
trap stop_wine EXIT

# The native suite once more under valgrind: any invalid access or leak
# fails the run.
valgrind_suite() {
    echo "=== native under valgrind ==="
    local memcheck=(valgrind -q --error-exitcode=1 --leak-check=full)
    "${memcheck[@]}" build/native/bin/velmora_unit_tests --gtest_brief=1
    "${memcheck[@]}" build/native/bin/velmora_module_tests --gtest_brief=1
    "${memcheck[@]}" build/native/bin/velmora_runner_tests --gtest_brief=1
    "${memcheck[@]}" build/native/bin/velmora-run >/dev/null
    "${memcheck[@]}" build/native/bin/velmora-run runner/samples >/dev/null
    "${memcheck[@]}" build/native/bin/velmora-run - <runner/samples/exported-mailbox.mbox >/dev/null
}

# The DLL's import list holds for a Debug build too, where nothing is
# inlined that could hide a call into the C library.
debug_build_imports() {
    echo "=== mingw Debug: the DLL's imports ==="
    cmake -S . -B build/mingw-debug -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake \
        -DCMAKE_BUILD_TYPE=Debug -DVELMORA_BUILD_TESTS=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
    cmake --build build/mingw-debug --target velmora >/dev/null
    cmake -DOBJDUMP=i686-w64-mingw32-objdump -DDLL=build/mingw-debug/bin/velmora.dll \
        -DIMPORTS=tests/dll_abi/module_imports.txt -DMAP=build/mingw-debug/daemon/velmora.map \
        -DMAX_BYTES=262144 -P tests/dll_abi/dll_abi_test.cmake
}

# Some machines cannot run 32-bit x86 programs at all (a sandbox without the
# kernel's 32-bit support). There the 32-bit Linux tests run under qemu's
# user-mode emulator instead, and the Windows programs, which Wine runs only
# on such a kernel, are built and checked but not run. That is said loudly.
runs_32bit_programs() {
    mkdir -p build
    printf 'int main(void) { return 0; }\n' >build/probe32.c
    gcc -m32 build/probe32.c -o build/probe32 >/dev/null 2>&1 && build/probe32 2>/dev/null
}
native32=yes
if ! runs_32bit_programs; then
    native32=no
    echo "NOTE: this machine cannot run 32-bit x86 programs: the 32-bit Linux tests" \
        "run under qemu-i386, and the tests that run Windows programs under Wine" \
        "are built but NOT run here (see the list in the mingw stage)."
fi

# True when a folder on the way to $1 (itself included) may be written by
# others, sticky or not.
open_on_the_way() {
    local dir
    dir="$(cd "$1" && pwd -P)"
    while :; do
        case "$(stat -c %A "$dir")" in
        ????????w?) return 0 ;;
        esac
        [ "$dir" = / ] && return 1
        dir="$(dirname "$dir")"
    done
}

# Wine cannot show a sticky folder: to the Windows runner, a checkout under
# /tmp lies in a folder everyone may change, and its trust rule rightly
# refuses to write there. Its process tests then work in a folder of this
# user's own instead.
wine_work=()
if open_on_the_way .; then
    wine_root="${HOME:-/root}/.cache/velmora-wine-tests"
    mkdir -p "$wine_root"
    chmod 700 "$wine_root"
    wine_work=("-DVELMORA_WINE_WORK_ROOT=$wine_root")
    echo "NOTE: this checkout lies below a folder others may write to; the Windows" \
        "runner's process tests work in $wine_root."
fi

for preset in native sanitize tsan m32 mingw; do
    echo "=== $preset ==="
    configure=()
    if [ "$preset" = m32 ] && [ "$native32" = no ]; then
        configure=("-DCMAKE_CROSSCOMPILING_EMULATOR=qemu-i386;-L;/")
    fi
    if [ "$preset" = mingw ]; then
        configure=("${wine_work[@]}")
    fi
    cmake --preset "$preset" "${configure[@]}" >/dev/null
    cmake --build --preset "$preset"
    if [ "$preset" = mingw ]; then
        if [ "$native32" = yes ]; then
            wineboot -i >/dev/null 2>&1 || true
            wineserver -p >/dev/null 2>&1 || true # keep one server for all tests
            ctest --preset mingw
        else
            echo "NOT RUN on this machine (Wine needs 32-bit support from the kernel):"
            ctest --preset mingw -L wine -N | grep "Test *#" || true
            ctest --preset mingw -LE wine
        fi
        bash scripts/check-reproducible.sh
        debug_build_imports
    else
        ctest --preset "$preset"
    fi
    if [ "$preset" = native ]; then
        valgrind_suite
    fi
done

# The benchmark, briefly: it fails when the module breaks a promise about
# its cost (one host call and no allocation for an ordinary job, a fixed
# and small number of allocations per replacement).
echo "=== bench (quick) ==="
cmake --preset bench >/dev/null
cmake --build --preset bench
if ! build/bench/bin/velmora_daemon_bench --quick >build/bench/quick.txt 2>&1; then
    cat build/bench/quick.txt
    exit 1
fi
tail -n 6 build/bench/quick.txt

# A short fuzzing run of each target, from the seed inputs, as a smoke test;
# scripts/fuzz.sh runs longer when given more seconds.
bash scripts/fuzz.sh 45
echo "All configurations passed."
