#!/usr/bin/env bash
# Fuzzes the module and the runner's reader with the libFuzzer targets,
# each for the given number of seconds (default 60), starting from the seed
# inputs in fuzz/corpus:
#   velmora_host_fuzz     STARTUP and DAEMON, every host answer from the input
#   velmora_daemon_fuzz   any message text through DAEMON in the stand-in server
#   velmora_mailbox_fuzz  the runner's reader of message files and mailboxes
# What the fuzzers learn is kept in build/fuzz/corpus; a failing input is
# written to build/fuzz/ and the script exits non-zero.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
# As many build and test jobs as this machine has cores, unless told.
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
export CTEST_PARALLEL_LEVEL="${CTEST_PARALLEL_LEVEL:-$(nproc)}"
seconds="${1:-60}"

bash scripts/install-deps.sh fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

run_fuzzer() { # run_fuzzer TARGET SEED-DIRECTORY EXTRA-OPTIONS...
    local target="$1" seeds="$2"
    shift 2
    local corpus="build/fuzz/corpus/$target" log="build/fuzz/$target.log"
    mkdir -p "$corpus"
    cp "$seeds"/* "$corpus"/
    echo "=== $target, $seconds s ==="
    if ! "build/fuzz/bin/$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="build/fuzz/$target-" "$@" "$corpus" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "$target found a failure; the input is in build/fuzz/."
        exit 1
    fi
    grep -E "^(Done|stat::number_of_executed_units)" "$log"
}

# Entropic scheduling spends most of its time updating feature counts on
# this target; plain scheduling runs it about ten times as fast.
run_fuzzer velmora_host_fuzz fuzz/corpus/host -entropic=0
run_fuzzer velmora_daemon_fuzz fuzz/corpus/message -max_len=20000
run_fuzzer velmora_mailbox_fuzz fuzz/corpus/mailbox
