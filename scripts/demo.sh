#!/usr/bin/env bash
# Builds the module and the runner natively and runs jobs through the
# module inside our stand-in server. Without arguments: the full report on
# the bundled sample autoreply, then a dry run over the sample messages in
# runner/samples/. With arguments, they go to the runner (see --help).
set -euo pipefail
cd "$(dirname "$0")/.."
# As many build and test jobs as this machine has cores, unless told.
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
export CTEST_PARALLEL_LEVEL="${CTEST_PARALLEL_LEVEL:-$(nproc)}"

bash scripts/install-deps.sh native
cmake --preset native >/dev/null
cmake --build --preset native --target velmora velmora-run >/dev/null
runner=build/native/bin/velmora-run
if [ "$#" -gt 0 ]; then
    exec "$runner" "$@"
fi
"$runner"
echo
echo "Dry run over runner/samples/ (envelope senders from Return-Path: or the mailbox):"
"$runner" runner/samples
