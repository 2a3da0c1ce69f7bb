#!/usr/bin/env bash
# Installs what the build needs, from Debian's packages, when it is missing.
#   install-deps.sh native   compiler, CMake and GoogleTest sources
#   install-deps.sh fuzz     also clang with its libFuzzer runtime
#   install-deps.sh bench    also Google Benchmark
#   install-deps.sh all      all of these, valgrind, and the 32-bit,
#                            MinGW-w64 (both C++ runtimes: with POSIX
#                            threads for the tests, with Win32's own calls
#                            for the runner) and Wine toolchains (with qemu's
#                            user-mode emulator, for machines that cannot
#                            run 32-bit programs themselves)
# Needs root (or sudo) only when something is missing.
set -euo pipefail

want="${1:-all}"

installed() { # installed PACKAGE: true when dpkg has it installed
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}
need() { # need PACKAGE CHECK-COMMAND...: notes PACKAGE when the check fails
    local package="$1"
    shift
    if ! "$@" >/dev/null 2>&1; then
        missing+=("$package")
    fi
}
find_missing() { # fills `missing` with the packages whose check fails
    missing=()
    need cmake command -v cmake
    need g++ command -v g++
    need make command -v make
    need googletest test -f /usr/src/googletest/CMakeLists.txt
    if [ "$want" = fuzz ] || [ "$want" = all ]; then
        need clang command -v clang++
        need libclang-rt-14-dev installed libclang-rt-14-dev
        need llvm command -v llvm-cov
    fi
    if [ "$want" = bench ] || [ "$want" = all ]; then
        need libbenchmark-dev installed libbenchmark-dev
    fi
    if [ "$want" = all ]; then
        need valgrind command -v valgrind
        need g++-multilib installed g++-multilib
        need g++-mingw-w64-i686-posix command -v i686-w64-mingw32-g++-posix
        need g++-mingw-w64-i686-win32 command -v i686-w64-mingw32-g++-win32
        need wine command -v wine
        need wine32:i386 installed wine32:i386
        need qemu-user command -v qemu-i386
    fi
}

find_missing
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
for package in "${missing[@]}"; do
    if [[ "$package" == *:i386 ]]; then
        $sudo dpkg --add-architecture i386
    fi
done
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"

# Nothing is skipped quietly: whatever is still missing stops the run.
find_missing
if [ ${#missing[@]} -ne 0 ]; then
    echo "Still missing after installing: ${missing[*]}" >&2
    echo "The build and tests need these Debian packages; install them and run again." >&2
    exit 1
fi
