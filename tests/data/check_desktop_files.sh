#!/usr/bin/env bash
# check_desktop_files.sh DIR VERSION
# The files of DIR (data/linux) that an installed Plume puts on the desktop, each read the way
# a desktop reads it: the desktop entry by desktop-file-validate, the AppStream metainfo by
# appstreamcli (strict, pedantic hints shown), the thumbnailer entry by its format (a desktop
# entry file with one "[Thumbnailer Entry]" group). All three name the same media types, and
# the metainfo's newest release is the project's version. Exit 77 (skipped) when a validator
# is missing.
set -uo pipefail
dir=$1 version=$2
desktop=$dir/jp.tovari.plume.desktop
metainfo=$dir/jp.tovari.plume.metainfo.xml
thumbnailer=$dir/plume.thumbnailer
failed=0
fail() { echo "FAIL: $*"; failed=1; }

for tool in desktop-file-validate appstreamcli; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is not installed (scripts/setup installs it)"
        exit 77
    fi
done

out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate has remarks: $out"
out=$(appstreamcli validate --no-net --strict --pedantic "$metainfo" 2>&1) || fail "appstreamcli: $out"
grep -q '^[EWIP]:' <<<"$out" && fail "appstreamcli has remarks: $out"

# value KEY FILE: the value of KEY in FILE's only group.
value() { sed -n "s/^$1=//p" "$2"; }

# The thumbnailer entry: its group first, then only comments, blank lines and KEY=VALUE lines
# with known keys, each key once.
first=$(grep -v -e '^#' -e '^$' "$thumbnailer" | head -n 1)
[ "$first" = "[Thumbnailer Entry]" ] || fail "thumbnailer: first group is '$first'"
bad=$(grep -v -e '^#' -e '^$' -e '^\[Thumbnailer Entry\]$' -e '^\(TryExec\|Exec\|MimeType\)=.' \
      "$thumbnailer")
[ -z "$bad" ] || fail "thumbnailer: lines not of the format: $bad"
dups=$(grep -o '^[A-Za-z]*=' "$thumbnailer" | sort | uniq -d)
[ -z "$dups" ] || fail "thumbnailer: keys given twice: $dups"
[ "$(value Exec "$thumbnailer")" = "plumeconv --thumbnail %s %i %o" ] ||
    fail "thumbnailer: Exec is '$(value Exec "$thumbnailer")'"
[ "$(value TryExec "$thumbnailer")" = plumeconv ] || fail "thumbnailer: TryExec"

# The same media types everywhere, each list ending with ";" as the format wants.
types_desktop=$(value MimeType "$desktop")
types_thumbnailer=$(value MimeType "$thumbnailer")
[[ $types_desktop == *";" ]] || fail "desktop: MimeType does not end with ';'"
[[ $types_thumbnailer == *";" ]] || fail "thumbnailer: MimeType does not end with ';'"
sorted() { tr ';' '\n' | sed '/^$/d' | sort; }
expected=$(printf '%s\n' image/emf image/x-emf image/wmf image/x-wmf application/x-msmetafile | sort)
[ "$(sorted <<<"$types_desktop")" = "$expected" ] || fail "desktop: MimeType $types_desktop"
[ "$(sorted <<<"$types_thumbnailer")" = "$expected" ] ||
    fail "thumbnailer: MimeType $types_thumbnailer"
types_metainfo=$(sed -n 's:.*<mediatype>\(.*\)</mediatype>.*:\1:p' "$metainfo" | sort)
[ "$types_metainfo" = "$expected" ] || fail "metainfo: media types $types_metainfo"

newest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -n 1 | cut -d'"' -f2)
[ "$newest" = "$version" ] || fail "metainfo: newest release $newest, project version $version"

[ "$failed" = 0 ] && echo "desktop entry, metainfo and thumbnailer entry are sound"
exit "$failed"
