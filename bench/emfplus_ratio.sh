#!/usr/bin/env bash
# Time of an EMF+ rendition against its own GDI fallback: every dual EMF+ file of the corpus
# is rendered both ways by plumeconv (as it is drawn, and with --no-emfplus), best of five
# runs each, and the script prints the median and the worst ratio EMF+ / GDI (goal: at most
# 2), over all dual files and over those whose two renditions differ (surely drawn from EMF+;
# a file drawn from EMF+ through GetDC alone gives the same pixels). Whole-process times
# include the start-up and the PNG encoding both ways; the "net" ratios take off the time of
# a small picture's process (a clipboard capture), each taken as at least 2 ms so that the
# timing noise of files drawn in less does not pass for a ratio.
#
#   bash bench/emfplus_ratio.sh [path/to/plumeconv] [shared-folder]
set -euo pipefail
cd "$(dirname "$0")/.."

conv=${1:-build/release/tools/plumeconv/plumeconv}
shared=${2:-../shared}
[ -x "$conv" ] || { echo "emfplus_ratio: build it first: cmake --preset release && cmake --build --preset release --target plumeconv" >&2; exit 2; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

best_of_five() {  # plumeconv arguments; prints microseconds
    local best=999999999 start end
    for _ in 1 2 3 4 5; do
        start=${EPOCHREALTIME/./}
        "$conv" "$@" 2>/dev/null || true
        end=${EPOCHREALTIME/./}
        (( end - start < best )) && best=$((end - start))
    done
    echo "$best"
}

# An EMF+ comment's header record carries the dual flag (bit 0 of its flags).
is_dual_emfplus() {
    python3 - "$1" <<'PY'
import struct, sys
b = open(sys.argv[1], 'rb').read()
at = 0
while at + 8 <= len(b):
    t, s = struct.unpack_from('<II', b, at)
    if s < 8 or at + s > len(b): break
    if t == 70 and s >= 20 and b[at + 12:at + 16] == b'EMF+':
        head = struct.unpack_from('<I', b, at + 16)[0]
        sys.exit(0 if (head & 0xFFFF) == 0x4001 and (head >> 16) & 1 else 1)
    at += s
sys.exit(1)
PY
}

"$conv" "$shared/clipboard-captures/inkscape-1.2.emf" "$out/warm.png" 2>/dev/null || true
base=$(best_of_five "$shared/clipboard-captures/inkscape-1.2.emf" "$out/base.png")
: > "$out/ratios"
for f in "$shared"/metafile-corpus/emf/*; do
    is_dual_emfplus "$f" || continue
    "$conv" "$f" "$out/plus.png" 2>/dev/null || continue
    "$conv" "$f" "$out/gdi.png" --no-emfplus 2>/dev/null || continue
    differs=1
    cmp -s "$out/plus.png" "$out/gdi.png" && differs=0
    plus=$(best_of_five "$f" "$out/plus.png")
    gdi=$(best_of_five "$f" "$out/gdi.png" --no-emfplus)
    awk -v p="$plus" -v g="$gdi" -v b="$base" -v d="$differs" -v f="$(basename "$f")" 'BEGIN {
        np = p - b; ng = g - b; if (np < 2000) np = 2000; if (ng < 2000) ng = 2000;
        printf "%.3f %.3f %.1f %.1f %d %s\n", p / g, np / ng, p / 1000, g / 1000, d, f }' >> "$out/ratios"
done
report() {  # label, ratios file
    local n
    n=$(wc -l < "$2")
    [ "$n" -gt 0 ] || { echo "$1: no file"; return; }
    median() { sort -n | awk -v n="$n" 'NR == int((n + 1) / 2) { print }'; }
    printf '%s: %d files; process time EMF+/GDI median %.2f, worst %.2f; net of start-up median %.2f, worst %.2f\n' "$1" "$n" \
        "$(cut -d' ' -f1 "$2" | median)" "$(cut -d' ' -f1 "$2" | sort -n | tail -1)" \
        "$(cut -d' ' -f2 "$2" | median)" "$(cut -d' ' -f2 "$2" | sort -n | tail -1)"
}
printf 'small picture process (start-up): %.1f ms\n' "$(awk -v b="$base" 'BEGIN{print b/1000}')"
report "dual files" "$out/ratios"
awk '$5 == 1' "$out/ratios" > "$out/differ"
report "renditions differ" "$out/differ"
echo "  largest ratios (process, net, EMF+ ms, GDI ms, differs, file):"
sort -n -k1 "$out/ratios" | tail -5 | sed 's/^/    /'
