#!/usr/bin/env bash
# Builds velmora.dll a second time, from a copy of the source tree in another
# folder, and checks that it is byte for byte the DLL of build/mingw: an
# admin (or anyone) who builds the same commit must get the same file, and
# its SHA-256 must match the one we publish.
#   check-reproducible.sh   (after the mingw preset has been built)
set -euo pipefail
cd "$(dirname "$0")/.."

first=build/mingw/bin/velmora.dll
if [ ! -f "$first" ]; then
    echo "check-reproducible: build the mingw preset first ($first is missing)" >&2
    exit 1
fi

# Another folder with another name, so that any path or time that leaked
# into the binary would show up as a difference.
elsewhere="$(mktemp -d "${TMPDIR:-/tmp}/velmora-again.XXXXXX")"
trap 'rm -rf "$elsewhere"' EXIT
copy="$elsewhere/src-copy"
mkdir -p "$copy"
git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$copy"
sleep 1 # a different second, too

(cd "$copy" && cmake --preset mingw -DVELMORA_BUILD_TESTS=OFF >/dev/null &&
    cmake --build --preset mingw --target velmora >/dev/null)
second="$copy/build/mingw/bin/velmora.dll"

sha256sum "$first" "$second"
if ! cmp "$first" "$second"; then
    echo "check-reproducible: two builds of the same sources differ" >&2
    exit 1
fi
echo "velmora.dll is reproducible: $(stat -c %s "$first") bytes, identical in both builds"
