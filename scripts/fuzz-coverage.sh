#!/usr/bin/env bash
# Reports how much of the module's code (daemon/ and host/), and of the
# runner's reader of message files and mailboxes, the fuzz corpora reach:
# the seed inputs in fuzz/corpus together with whatever scripts/fuzz.sh
# has learnt in build/fuzz/corpus. Line and branch coverage
# from clang's source-based coverage.
set -euo pipefail
cd "$(dirname "$0")/.."
# As many build and test jobs as this machine has cores, unless told.
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
export CTEST_PARALLEL_LEVEL="${CTEST_PARALLEL_LEVEL:-$(nproc)}"

bash scripts/install-deps.sh fuzz
cmake --preset fuzz-coverage >/dev/null
cmake --build --preset fuzz-coverage

out=build/fuzz-coverage/profiles
rm -rf "$out"
mkdir -p "$out"
replay() { # replay TARGET SEED-DIRECTORY: runs every input once, no fuzzing
    local target="$1" seeds="$2" learnt="build/fuzz/corpus/$1"
    local inputs=("$seeds")
    [ -d "$learnt" ] && inputs+=("$learnt")
    LLVM_PROFILE_FILE="$out/$target.profraw" \
        "build/fuzz-coverage/bin/$target" -runs=0 "${inputs[@]}" >"$out/$target.log" 2>&1
}
replay velmora_host_fuzz fuzz/corpus/host
replay velmora_daemon_fuzz fuzz/corpus/message
replay velmora_mailbox_fuzz fuzz/corpus/mailbox

llvm-profdata merge -o "$out/all.profdata" "$out"/*.profraw
llvm-cov report build/fuzz-coverage/bin/velmora_host_fuzz \
    -object build/fuzz-coverage/bin/velmora_daemon_fuzz \
    -instr-profile="$out/all.profdata" daemon host
llvm-cov report build/fuzz-coverage/bin/velmora_mailbox_fuzz \
    -instr-profile="$out/all.profdata" \
    runner/mailbox/message_stream.cpp runner/mailbox/mbox_separator.cpp runner/mailbox/mailbox_headers.cpp
