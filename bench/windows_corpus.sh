#!/usr/bin/env bash
# plumeconv.exe under Wine against the Linux plumeconv over the metafile corpus, in one run:
#  - drawing: both convert every file to PNG at its own size, one process a file (a crash
#    loses one file, not the rest of a batch); every file the Linux build draws must be drawn
#    by the Windows build, and
#    ../shared/tools/fidelity.py compares the two sets (goal: under 0.5 % mean; the fonts differ
#    where Wine's font mapping picks another face);
#  - speed: the median a file of the batch (each file's time inside the process,
#    PLUMECONV_TIMINGS: the figure held to the goal, the Windows median within 1.5x of the Linux
#    one), of one process a file (for Wine: its start included; reported, not held to the goal,
#    since Wine's start of a process alone is several times a file's drawing), the batch's
#    whole wall time, and Wine's start of a process (plumeconv.exe --help). The batch runs
#    ROUNDS times (PLUME_BENCH_ROUNDS, default 3), the two builds taking turns, and each file
#    counts with its shortest time, so that a busy shared machine moves the figure less; one
#    process a file runs once each way (Wine's start makes more too slow).
# Exit status 1 when a file the Linux build draws is not drawn under Wine or the mean is over
# 0.5 %; the times are reported, never judged.
#
#   bash bench/windows_corpus.sh WINDOWS_DIR [LINUX_PLUMECONV] [SHARED] [KEEP_DIR]
# WINDOWS_DIR holds plumeconv.exe with the DLLs it loads (the portable folder).
set -uo pipefail
cd "$(dirname "$0")/.."

windir=$(realpath "${1:?usage: windows_corpus.sh WINDOWS_DIR [LINUX_PLUMECONV] [SHARED] [KEEP_DIR]}")
conv=$(realpath "${2:-build/release/tools/plumeconv/plumeconv}")
shared=$(realpath "${3:-../shared}")
export PATH=$PATH:/usr/lib/wine
[ -x "$conv" ] || { echo "windows_corpus: build the Linux plumeconv first (cmake --preset release && cmake --build --preset release --target plumeconv)" >&2; exit 2; }
[ -f "$windir/plumeconv.exe" ] || { echo "windows_corpus: no plumeconv.exe in $windir" >&2; exit 2; }
command -v wine64 >/dev/null || { echo "windows_corpus: wine64 is missing" >&2; exit 2; }
# fidelity.py runs with Debian's own Python, which has python3-numpy and python3-pil.
python=/usr/bin/python3
[ -x "$python" ] || python=python3
"$python" -c 'import numpy, PIL' 2>/dev/null || { echo "windows_corpus: needs python3-numpy and python3-pil" >&2; exit 2; }

work=$(mktemp -d)
keep=${4:-}
trap 'wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEPREFIX=${WINEPREFIX:-$work/prefix}
[ -d "$WINEPREFIX" ] || { wine64 wineboot -i >/dev/null 2>&1; wineserver -w; }
wineserver -p  # one wineserver for the whole run, as on a desktop where Wine already runs
winconv() { wine64 "$windir/plumeconv.exe" "$@"; }
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winedbg.exe=d"  # a crash ends the process, no debugger

mapfile -t corpus < <(ls "$shared"/metafile-corpus/emf/* "$shared"/metafile-corpus/wmf/*)
n=${#corpus[@]}
wincorpus=("${corpus[@]/#/Z:}")

median() {  # microseconds, one a line, on stdin; prints milliseconds
    sort -n | awk '{v[NR]=$1} END {if (NR == 0) {print "n/a"; exit}
        m = NR % 2 ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2; printf "%.2f", m / 1000}'
}
now() { echo "${EPOCHREALTIME/./}"; }

# Wine's start of a process: plumeconv.exe --help, best-of-one five times, warm.
winconv --help >/dev/null 2>&1
: > "$work/start.txt"
for _ in 1 2 3 4 5; do
    s=$(now); winconv --help >/dev/null 2>&1; e=$(now); echo $((e - s)) >> "$work/start.txt"
    s=$(now); "$conv" --help >/dev/null 2>&1; e=$(now); echo $((e - s)) >> "$work/start-linux.txt"
done

# Batch: one process, one worker, each file timed inside; ROUNDS rounds, the builds in turn.
rounds=${PLUME_BENCH_ROUNDS:-3}
timings() { tr -d '\r' < "$1" | awk '/^timing / {t = $2; sub(/^timing [0-9]+ /, ""); print t "\t" $0}'; }
for ((round = 1; round <= rounds; round++)); do
    rm -rf "$work/linux" "$work/windows"
    mkdir -p "$work/linux" "$work/windows"
    s=$(now)
    PLUMECONV_TIMINGS=1 "$conv" --out-dir "$work/linux" -j 1 "${corpus[@]}" 2>"$work/linux-err.txt" >/dev/null
    e=$(now); linux_wall=$((e - s))
    s=$(now)
    PLUMECONV_TIMINGS=1 WINEDEBUG=-all winconv --out-dir "Z:$work/windows" -j 1 "${wincorpus[@]}" \
        2>"$work/windows-err.txt" >/dev/null
    e=$(now); windows_wall=$((e - s))
    timings "$work/linux-err.txt" > "$work/linux-times.$round"
    timings "$work/windows-err.txt" > "$work/windows-times.$round"
done
# Each file's shortest time over the rounds (files a crash left out have none).
shortest() { cat "$work/$1-times."* | awk -F '\t' '!($2 in m) || $1 < m[$2] {m[$2] = $1} END {for (f in m) print m[f]}'; }
linux_batch=$(shortest linux | median)
windows_batch=$(shortest windows | median)

# One process a file, the two side by side for each file.
crashed=()
: > "$work/one-linux.txt"
: > "$work/one-windows.txt"
mkdir -p "$work/one-linux" "$work/one-windows"
for i in "${!corpus[@]}"; do
    name=$(basename "${corpus[$i]%.*}")
    s=$(now); "$conv" "${corpus[$i]}" "$work/one-linux/$name.png" >/dev/null 2>&1; e=$(now)
    echo $((e - s)) >> "$work/one-linux.txt"
    s=$(now); winconv "${wincorpus[$i]}" "Z:$work/one-windows/$name.png" >/dev/null 2>"$work/err.txt"
    e=$(now)
    echo $((e - s)) >> "$work/one-windows.txt"
    grep -q 'Unhandled' "$work/err.txt" && crashed+=("$name")
done

# Drawn: a PNG of the file's name.
missing=()
drawn=()
for f in "${corpus[@]}"; do
    name=$(basename "${f%.*}")
    [ -f "$work/one-linux/$name.png" ] || continue
    drawn+=("$name")
    [ -f "$work/one-windows/$name.png" ] || missing+=("$name")
done
"$python" "$shared/tools/fidelity.py" "$work/one-linux" "$work/one-windows" "${drawn[@]}" > "$work/fidelity.txt"
mean=$(awk '/^mean / {sub(/%/, "", $2); print $2}' "$work/fidelity.txt")
[ -n "$keep" ] && mkdir -p "$keep" && cp -r "$work/one-linux" "$work/one-windows" "$work/fidelity.txt" "$keep/"

one_linux=$(median < "$work/one-linux.txt")
one_windows=$(median < "$work/one-windows.txt")
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
printf 'corpus: %d files, PNG at own size; Linux draws %d, Windows draws %d of them\n' \
    "$n" "${#drawn[@]}" "$(( ${#drawn[@]} - ${#missing[@]} ))"
[ ${#missing[@]} -gt 0 ] && printf '  not drawn under Wine: %s\n' "${missing[*]}"
[ ${#crashed[@]} -gt 0 ] && printf '  crashed under Wine: %s\n' "${crashed[*]}"
printf '  batch: Linux wrote %d, Windows %d PNGs (a crash ends the batch)\n' \
    "$(ls "$work/linux" | wc -l)" "$(ls "$work/windows" | wc -l)"
printf 'fidelity (Windows against Linux, fidelity.py): %s\n' "$(tail -1 "$work/fidelity.txt")"
sort -rn "$work/fidelity.txt" | grep -v '^mean' | head -5 | sed 's/^/  /'
printf 'one process a file:  Linux median %s ms, Windows (Wine) median %s ms, ratio %s\n' \
    "$one_linux" "$one_windows" "$(ratio "$one_windows" "$one_linux")"
printf 'process start:       Linux --help %s ms, Wine plumeconv.exe --help %s ms (median of 5)\n' \
    "$(median < "$work/start-linux.txt")" "$(median < "$work/start.txt")"
printf 'batch (-j 1, each file its best of %d rounds): Linux median %s ms a file (last whole %.0f ms), Windows median %s ms a file (last whole %.0f ms), ratio %s\n' \
    "$rounds" "$linux_batch" "$(awk -v w="$linux_wall" 'BEGIN{print w/1000}')" "$windows_batch" \
    "$(awk -v w="$windows_wall" 'BEGIN{print w/1000}')" "$(ratio "$windows_batch" "$linux_batch")"
printf 'goal: the batch median under Windows within 1.5x of Linux\n'
[ ${#missing[@]} -eq 0 ] && awk -v m="$mean" 'BEGIN { exit !(m != "" && m < 0.5) }'
