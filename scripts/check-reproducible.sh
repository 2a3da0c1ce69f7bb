#!/usr/bin/env bash
# Builds what admins get a second time, from a copy of the source tree in
# another folder, and checks that velmora.dll, velmora-run.exe and the
# package's SHA256SUMS are byte for byte those of build/mingw: an admin (or
# anyone) who builds the same commit must get the same files, and their
# SHA-256 sums must match the ones we publish.
#   check-reproducible.sh   (after the mingw preset has been built)
set -euo pipefail
cd "$(dirname "$0")/.."
# As many build and test jobs as this machine has cores, unless told.
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
export CTEST_PARALLEL_LEVEL="${CTEST_PARALLEL_LEVEL:-$(nproc)}"

shipped=(bin/velmora.dll bin/velmora-run.exe)
for file in "${shipped[@]}"; do
    if [ ! -f "build/mingw/$file" ]; then
        echo "check-reproducible: build the mingw preset first (build/mingw/$file is missing)" >&2
        exit 1
    fi
done

# Another folder with another name, so that any path or time that leaked
# into the binaries would show up as a difference.
elsewhere="$(mktemp -d "${TMPDIR:-/tmp}/velmora-again.XXXXXX")"
trap 'rm -rf "$elsewhere"' EXIT
copy="$elsewhere/src-copy"
mkdir -p "$copy"
git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$copy"
sleep 1 # a different second, too

(cd "$copy" && cmake --preset mingw -DVELMORA_BUILD_TESTS=OFF >/dev/null &&
    cmake --build --preset mingw --target velmora velmora_runner_xp >/dev/null)

# The package's files as installed, SHA256SUMS among them, from both trees.
cmake --install build/mingw --prefix "$elsewhere/first" >/dev/null
cmake --install "$copy/build/mingw" --prefix "$elsewhere/second" >/dev/null

differ=0
for file in "${shipped[@]}" SHA256SUMS; do
    case "$file" in
    bin/*) first="build/mingw/$file" second="$copy/build/mingw/$file" ;;
    *) first="$elsewhere/first/$file" second="$elsewhere/second/$file" ;;
    esac
    sha256sum "$first" "$second"
    if ! cmp "$first" "$second"; then
        differ=1
    fi
done
if [ "$differ" -ne 0 ]; then
    echo "check-reproducible: two builds of the same sources differ" >&2
    exit 1
fi
echo "reproducible: velmora.dll ($(stat -c %s build/mingw/bin/velmora.dll) bytes)," \
    "velmora-run.exe ($(stat -c %s build/mingw/bin/velmora-run.exe) bytes) and SHA256SUMS" \
    "identical in both builds"
