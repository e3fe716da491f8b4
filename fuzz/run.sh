#!/usr/bin/env bash
# A bounded run of the load-and-render fuzzer (ASan + UBSan, fuzz preset): makes the seed
# corpus, then searches for SECONDS (default 60). A crash, a leak of the sanitizers' kind, a
# slow input (over 10 s) or an input that needs over 2 GB fails the run and leaves the input
# in build/fuzz/findings/.
#
#   cmake --preset fuzz && cmake --build --preset fuzz --target LoadAndRenderFuzzer make_fuzz_seeds
#   bash fuzz/run.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build=build/fuzz
seeds=$build/seeds
corpus=$build/corpus
findings=$build/findings
mkdir -p "$corpus" "$findings"
"$build/fuzz/make_fuzz_seeds" "$seeds"

# Qt keeps process-wide caches alive until exit; those are no leaks of the code under test.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen
"$build/fuzz/LoadAndRenderFuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=262144 -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "$seeds"
