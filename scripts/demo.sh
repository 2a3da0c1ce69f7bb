#!/usr/bin/env bash
# Builds the module and the runner natively and runs one job through the
# module inside our reference host: the bundled sample autoreply unless a
# message file or other options are given (see --help).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh native
cmake --preset native >/dev/null
cmake --build --preset native --target velmora velmora-run >/dev/null
exec build/native/bin/velmora-run "$@"
