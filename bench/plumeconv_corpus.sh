#!/usr/bin/env bash
# Measures plumeconv as a whole process, one file at a time, rendering PNG at own size:
# over the clipboard captures (goal: under 30 ms a process) and over the metafile corpus
# (goal: median under 20 ms, peak memory under 100 MB). Prints median, 90th percentile and
# maximum wall time (best of three runs a file), the median CPU time (user + system, in the
# kernel's 10 ms steps) and the largest peak RSS of each set, and the slowest and largest files.
#
#   bash bench/plumeconv_corpus.sh [path/to/plumeconv] [shared-folder]
set -euo pipefail
cd "$(dirname "$0")/.."

conv=${1:-build/release/tools/plumeconv/plumeconv}
shared=${2:-../shared}
[ -x "$conv" ] || { echo "plumeconv_corpus: build it first: cmake --preset release && cmake --build --preset release --target plumeconv" >&2; exit 2; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

measure() {  # label, files...
    local label=$1; shift
    local times=$out/times.txt cpu=$out/cpu.txt rsses=$out/rss.txt
    : > "$times"
    : > "$cpu"
    : > "$rsses"
    local rss_max=0 failures=0
    for f in "$@"; do
        # Wall time: the best of three runs, timed by the shell itself (no extra process
        # between the clock and plumeconv); peak memory and CPU time from one run under time.
        local best=999999999 start end run
        for run in 1 2 3; do
            start=${EPOCHREALTIME/./}
            "$conv" "$f" "$out/out.png" 2>/dev/null || true
            end=${EPOCHREALTIME/./}
            (( end - start < best )) && best=$((end - start))
        done
        if ! /usr/bin/time -f '%M %U %S' -o "$out/rss" "$conv" "$f" "$out/out.png" 2>/dev/null; then
            failures=$((failures + 1))
        fi
        local rss
        rss=$(tail -1 "$out/rss" | awk '{print $1}')
        ((rss > rss_max)) && rss_max=$rss
        echo "$best $f" >> "$times"
        tail -1 "$out/rss" | awk '{print ($2 + $3) * 1000}' >> "$cpu"
        echo "$rss $f" >> "$rsses"
    done
    sort -n "$times" -o "$times"
    local n median p90 max
    n=$(wc -l < "$times")
    median=$(awk -v n="$n" 'NR==int((n+1)/2){print $1/1000}' "$times")
    p90=$(awk -v n="$n" 'NR==int(n*0.9+0.999){print $1/1000}' "$times")
    max=$(tail -1 "$times" | awk '{print $1/1000}')
    cpu_median=$(sort -n "$cpu" | awk -v n="$n" 'NR==int((n+1)/2){print $1}')
    printf '%s: %d files, wall median %.1f ms, p90 %.1f ms, max %.1f ms; CPU median %.0f ms; peak RSS %.1f MB; %d refused\n' \
        "$label" "$n" "$median" "$p90" "$max" "$cpu_median" "$(awk -v r="$rss_max" 'BEGIN{print r/1024}')" "$failures"
    echo "  slowest:"; tail -3 "$times" | awk '{printf "    %.1f ms %s\n", $1/1000, $2}'
    echo "  largest:"; sort -n "$rsses" | tail -3 | awk '{printf "    %.1f MB %s\n", $1/1024, $2}'
}

# One warm-up run so that the first file does not pay for cold caches.
"$conv" "$shared/clipboard-captures/inkscape-1.2.emf" "$out/out.png" 2>/dev/null || true

mapfile -t captures < <(ls "$shared"/clipboard-captures/*.emf "$shared"/clipboard-captures/*.wmf)
measure captures "${captures[@]}"
mapfile -t corpus < <(ls "$shared"/metafile-corpus/emf/* "$shared"/metafile-corpus/wmf/*)
measure corpus "${corpus[@]}"
