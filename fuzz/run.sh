#!/usr/bin/env bash
# A bounded run of the load-and-render fuzzer (ASan + UBSan, fuzz preset): makes the seed
# corpus, then searches for SECONDS (default 60). A crash, a leak of the sanitizers' kind, a
# slow input (over 10 s) or an input that needs over 3 GB (pictures may hold rasters up to the 128-megapixel limit) fails the run and leaves the input
# in build/fuzz/findings/. Every run first replays fuzz/regressions/, one input for each fault
# found and mended (a finding becomes a file there, named after the fault).
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
# With PLUME_FUZZ_RUNS=N the run is a fixed number of inputs from a fixed seed, so that CI
# repeats the same search every time instead of a different one for each build; new
# searches belong to runs by hand (PLUME_FUZZ_SECONDS), whose findings become tests.
if [ -n "${PLUME_FUZZ_RUNS:-}" ]; then
    limit=(-runs="$PLUME_FUZZ_RUNS" -seed="${PLUME_FUZZ_SEED:-1}")
else
    limit=(-max_total_time="$seconds")
fi
"$build/fuzz/LoadAndRenderFuzzer" "${limit[@]}" -timeout=10 -rss_limit_mb=3072 \
    -max_len=262144 -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "$seeds" fuzz/regressions
