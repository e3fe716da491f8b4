#!/usr/bin/env bash
# One process a file against one batch process, side by side in one run, over the metafile
# corpus, rendering PNG at own size. Prints the median time a file of both ways (one process:
# the whole process's wall time; batch, one worker: each file's time inside the process, as
# plumeconv reports it with PLUMECONV_TIMINGS), the batch's whole wall time, and the peak
# memory of a batch with two workers (/usr/bin/time -v).
# Goals: the batch's median a file at most a third of one process's; under 100 MB with -j 2.
#
#   bash bench/plumeconv_batch.sh [path/to/plumeconv] [shared-folder]
set -euo pipefail
cd "$(dirname "$0")/.."

conv=${1:-build/release/tools/plumeconv/plumeconv}
shared=${2:-../shared}
[ -x "$conv" ] || { echo "plumeconv_batch: build it first: cmake --preset release && cmake --build --preset release --target plumeconv" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "plumeconv_batch: needs /usr/bin/time (Debian package time)" >&2; exit 2; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

mapfile -t corpus < <(ls "$shared"/metafile-corpus/emf/* "$shared"/metafile-corpus/wmf/*)
n=${#corpus[@]}

median_ms() {  # microseconds, one a line, on stdin
    sort -n | awk '{v[NR]=$1} END {if (NR == 0) {print "n/a"; exit}
        m = NR % 2 ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2; printf "%.2f", m / 1000}'
}

# One warm-up of each way, so that neither pays for cold caches.
"$conv" "${corpus[0]}" "$out/warm.png" 2>/dev/null || true
mkdir -p "$out/warm" && "$conv" --out-dir "$out/warm" -j 1 "${corpus[@]:0:5}" 2>/dev/null || true

# Side by side: each round runs one process a file and then the batch, three rounds; the
# median of each file's best round is kept for the first, the median over all batch files of
# each file's best round for the second.
: > "$out/single.txt"
: > "$out/batch.txt"
batch_wall=999999999
for round in 1 2 3; do
    i=0
    for f in "${corpus[@]}"; do
        start=${EPOCHREALTIME/./}
        "$conv" "$f" "$out/one.png" 2>/dev/null || true
        end=${EPOCHREALTIME/./}
        echo "$i $((end - start))" >> "$out/single.txt"
        i=$((i + 1))
    done
    rm -rf "$out/batch" && mkdir "$out/batch"
    start=${EPOCHREALTIME/./}
    PLUMECONV_TIMINGS=1 "$conv" --out-dir "$out/batch" -j 1 "${corpus[@]}" 2>"$out/batch-err.txt" || true
    end=${EPOCHREALTIME/./}
    (( end - start < batch_wall )) && batch_wall=$((end - start))
    awk '/^timing / {print $3, $2}' "$out/batch-err.txt" >> "$out/batch.txt"
done
single=$(awk '{ if (!($1 in b) || $2 < b[$1]) b[$1] = $2 } END {for (k in b) print b[k]}' "$out/single.txt" | median_ms)
batch=$(awk '{ if (!($1 in b) || $2 < b[$1]) b[$1] = $2 } END {for (k in b) print b[k]}' "$out/batch.txt" | median_ms)

rm -rf "$out/batch" && mkdir "$out/batch"
/usr/bin/time -v -o "$out/time.txt" "$conv" --out-dir "$out/batch" -j 2 "${corpus[@]}" 2>/dev/null || true
peak_kb=$(awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); print $2}' "$out/time.txt")
wall2=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$out/time.txt")

printf 'corpus: %d files, PNG at own size\n' "$n"
printf '  one process a file:  median %s ms a file\n' "$single"
printf '  one batch (-j 1):    median %s ms a file; whole batch %.0f ms (%.2f ms a file)\n' \
    "$batch" "$(awk -v w="$batch_wall" 'BEGIN{print w/1000}')" "$(awk -v w="$batch_wall" -v n="$n" 'BEGIN{print w/1000/n}')"
printf '  ratio:               batch median / one-process median = %s (goal: at most 0.33)\n' \
    "$(awk -v a="$batch" -v b="$single" 'BEGIN{printf "%.3f", a/b}')"
printf '  batch -j 2:          peak RSS %.1f MB (goal: under 100 MB), wall %s\n' \
    "$(awk -v k="$peak_kb" 'BEGIN{print k/1024}')" "$wall2"
