#!/usr/bin/env bash
# Plume's setup program end to end under Wine, on an Xvfb display with openbox:
#  1. installs it silently (/S /OPENWITH) into a fresh Wine prefix and checks the files, the
#     Start-menu entry, the Apps & features entry and the Open-with entries, and that the
#     installed plumeconv.exe converts a drawing;
#  2. starts the installed plume.exe once (it makes User.xml), points the working folder at a
#     folder with a Japanese name, starts it again;
#  3. copies an EMF with wincopy.exe, presses Ctrl+V in Plume and checks that 001.wmf is the
#     clipboard's EMF byte for byte; presses Ctrl+C and reads Plume's copy with winpaste.exe;
#  4. closes Plume and checks User.xml: CP932 bytes, the Japanese folder name byte for byte;
#  5. installs a made-up older version over it (its setup program made here, with a file this
#     version does not have), then this version again, and checks that the older version's
#     file is gone, this version's files are all there, and the drawings, the settings and the
#     Open-with choice are kept;
#  6. uninstalls silently and checks that what was installed is gone and the drawings and the
#     settings are still there.
# Screenshots of each step go to OUT (kept). Exit status 0 when every check passed, 1 when one
# failed, 77 when a tool is missing.
#
#   bash tests/windows/setup-e2e.sh SETUP.exe WINPEER_DIR OUT [SHARED]
set -uo pipefail

setup=$(realpath "${1:?usage: setup-e2e.sh SETUP.exe WINPEER_DIR OUT [SHARED]}")
winpeer=$(realpath "${2:?usage: setup-e2e.sh SETUP.exe WINPEER_DIR OUT [SHARED]}")
out=${3:?usage: setup-e2e.sh SETUP.exe WINPEER_DIR OUT [SHARED]}
shared=$(realpath "${4:-$(dirname "$0")/../../../shared}")
root=$(realpath "$(dirname "$0")/../..")
mkdir -p "$out" && out=$(realpath "$out")

export PATH=$PATH:/usr/lib/wine
for tool in wine64 wineserver Xvfb openbox xdotool import python3 makensis; do
    command -v "$tool" >/dev/null || { echo "setup-e2e: SKIP: $tool is missing"; exit 77; }
done
for f in "$winpeer/wincopy.exe" "$winpeer/winpaste.exe" "$shared/clipboard-captures/libreoffice-draw-7.4.emf"; do
    [ -f "$f" ] || { echo "setup-e2e: SKIP: $f is missing"; exit 77; }
done

work=$(mktemp -d)
failures=0
pass() { echo "  ok    $*"; }
fail() { echo "  FAIL  $*"; failures=$((failures + 1)); }
check() {  # description, command...
    local what=$1; shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}

# A Wine of its own: prefix, home (Wine's menu builder is off, so nothing reaches the real
# desktop's menus) and display.
export HOME=$work/home WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$HOME"
exec 5> "$work/display"
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
openbox >/dev/null 2>&1 &
openbox_pid=$!
plume_pid=
copy_pid=
cleanup() {
    [ -n "$copy_pid" ] && kill "$copy_pid" 2>/dev/null
    [ -n "$plume_pid" ] && kill "$plume_pid" 2>/dev/null
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    kill "$openbox_pid" "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
shot() { import -display "$DISPLAY" -window root "$out/$1.png" 2>/dev/null; }

wine64 wineboot -i >/dev/null 2>&1
wineserver -w
user=$(wine64 cmd /c 'echo %USERNAME%' 2>/dev/null | tr -d '\r')
users=$WINEPREFIX/drive_c/users/$user
instdir=$users/AppData/Local/Programs/Plume
wininst="C:\\users\\$user\\AppData\\Local\\Programs\\Plume"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Plume'

echo "setup-e2e: installing $(basename "$setup") (per user, with Open with) on $DISPLAY"
wine64 "$setup" /S /OPENWITH
check "the setup program exits 0" test $? -eq 0
wineserver -w
check "plume.exe and plumeconv.exe installed in $wininst" \
    test -f "$instdir/plume.exe" -a -f "$instdir/plumeconv.exe" -a -f "$instdir/uninstall.exe"
check "UserData.ini says %usr%" grep -qx '%usr%' "$instdir/UserData.ini"
check "the Start-menu entry Plume.lnk" \
    test -f "$users/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Plume.lnk"
wine64 reg query "$uninstall_key" > "$out/uninstall-key.txt" 2>&1
for value in DisplayName DisplayVersion Publisher UninstallString QuietUninstallString \
             InstallLocation EstimatedSize NoModify NoRepair; do
    grep -q "^ *$value " "$out/uninstall-key.txt" || fail "Apps & features entry lacks $value"
done
check "Apps & features entry's QuietUninstallString" \
    grep -qF "\"$wininst\\uninstall.exe\" /S" "$out/uninstall-key.txt"
wine64 reg query 'HKCU\Software\Classes\.emf\OpenWithProgids' > "$out/openwith.txt" 2>&1
check "Open with for .emf" grep -q 'Plume.Metafile' "$out/openwith.txt"
files_installed=$(cd "$instdir" && find . -type f | sort)
timeout 60 wine64 "$wininst\\plumeconv.exe" "Z:${shared//\//\\}\\clipboard-captures\\inkscape-1.2.emf" \
    "Z:${work//\//\\}\\converted.png" > "$out/plumeconv.txt" 2>&1
check "the installed plumeconv.exe converts a drawing to PNG" \
    test "$(head -c 4 "$work/converted.png" 2>/dev/null | od -An -c | tr -d ' ')" = 211PNG

# Both starts run the installed program the way the Start menu does.
start_plume() {
    (cd "$instdir" && exec wine64 "$wininst\\plume.exe") >"$out/plume-$1.log" 2>&1 &
    plume_pid=$!
    # Searched again until found: Wine makes and drops windows while a program starts, and a
    # window that goes during one search ends that search with an X error.
    window=
    for _ in $(seq 120); do
        window=$(xdotool search --onlyvisible --name '^Plume$' 2>/dev/null | head -1) || true
        [ -n "$window" ] && break
        sleep 0.5
    done
    [ -n "$window" ] || { fail "plume.exe shows its window ($1 start)"; return 1; }
    sleep 2  # the first paint and the folder's first listing
    shot "$1-started"
}
close_plume() {
    wine64 taskkill /im plume.exe >/dev/null 2>&1
    for _ in $(seq 150); do kill -0 "$plume_pid" 2>/dev/null || break; sleep 0.2; done
    if kill -0 "$plume_pid" 2>/dev/null; then
        fail "Plume closes on WM_CLOSE ($1 start)"; kill "$plume_pid"
    fi
    wait "$plume_pid" 2>/dev/null
    plume_pid=
}

echo "setup-e2e: first start"
start_plume first && close_plume first
settings=$(find "$users" -name User.xml -print -quit)
if [ -z "$settings" ]; then
    fail "the first start writes User.xml in the user data folder"
    exit 1
fi
pass "the first start writes ${settings#"$users"/}"

# The working folder gets a Japanese name, which User.xml holds in CP932.
mkdir -p "$users/図面"
folder="C:\\users\\$user\\図面"
python3 - "$settings" "$folder" <<'EOF'
import re, sys
path, folder = sys.argv[1], sys.argv[2]
text = open(path, 'rb').read().decode('cp932')
text, n = re.subn(r'<FOLD>[^<]*</FOLD>', lambda m: '<FOLD>' + folder + '</FOLD>', text)
if not n:
    text = text.replace('   </位置>', '      <FOLD>' + folder + '</FOLD>\r\n   </位置>')
open(path, 'wb').write(text.encode('cp932'))
EOF
cp "$settings" "$work/seeded.xml"

echo "setup-e2e: second start, import and copy back"
capture=$shared/clipboard-captures/libreoffice-draw-7.4.emf
stored=$users/図面/001.wmf
if start_plume second; then
    mkfifo "$work/stop"
    wine64 "$winpeer/wincopy.exe" "Z:${capture//\//\\}" "Z:${work//\//\\}\\put.emf" \
        < "$work/stop" > "$work/wincopy.out" 2>&1 &
    copy_pid=$!
    exec 6> "$work/stop"
    for _ in $(seq 150); do grep -q ready "$work/wincopy.out" && break; sleep 0.2; done
    check "wincopy.exe holds the EMF on the Windows clipboard" grep -q ready "$work/wincopy.out"
    xdotool windowactivate --sync "$window" 2>/dev/null
    xdotool key --clearmodifiers ctrl+v
    for _ in $(seq 100); do [ -s "$stored" ] && break; sleep 0.2; done
    sleep 1
    shot second-imported
    check "Ctrl+V stores 001.wmf, the clipboard's EMF byte for byte" cmp -s "$stored" "$work/put.emf"
    check "001.wmf is the copied file byte for byte" cmp -s "$stored" "$capture"
    echo >&6; exec 6>&-
    wait "$copy_pid"; copy_pid=

    xdotool windowactivate --sync "$window" 2>/dev/null
    xdotool key --clearmodifiers ctrl+c
    sleep 1
    shot second-copied
    timeout 120 wine64 "$winpeer/winpaste.exe" --wait 20 "Z:${work//\//\\}\\back" \
        > "$out/winpaste.txt" 2>&1
    check "winpaste.exe reads Plume's copy" test $? -eq 0
    check "Plume's copy reaches Windows as the stored EMF byte for byte" \
        cmp -s "$work/back.emf" "$stored"
    check "and as a placeable WMF (CF_METAFILEPICT)" \
        test "$(head -c 4 "$work/back.wmf" 2>/dev/null | od -An -tx1 | tr -d ' ')" = d7cdc69a
    close_plume second
fi

# User.xml: CP932 throughout, the folder's name as its CP932 bytes, the rest as first written.
python3 - "$settings" "$folder" "$work/seeded.xml" <<'EOF'
import re, sys
path, folder, seeded = sys.argv[1], sys.argv[2], sys.argv[3]
data = open(path, 'rb').read()
ok = True
def check(what, good):
    global ok
    print(('  ok    ' if good else '  FAIL  ') + what)
    ok = ok and good
head = "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <位置>\r\n".encode('cp932')
check('User.xml begins with the CP932 bytes of its header, 運用 and 位置', data.startswith(head))
fold = ('<FOLD>' + folder + '</FOLD>').encode('cp932')
check('User.xml holds the folder 図面 as CP932 bytes (90 7D 96 CA)', fold in data)
try:
    data.decode('utf-8')
    check('User.xml is not UTF-8', False)
except UnicodeDecodeError:
    pass
shape = re.compile(re.escape(head) + rb'(      <[A-Z]+>[^<\r\n]*</[A-Z]+>\r\n)+' +
                   re.escape('   </位置>\r\n</運用>'.encode('cp932')) + rb'\r?\n?$')
check('User.xml has the group 位置 and nothing else', bool(shape.match(data)))
same = data == open(seeded, 'rb').read()
print('  info  User.xml after the second run is %s the file it started with' %
      ('byte for byte' if same else 'not'))
sys.exit(0 if ok else 1)
EOF
[ $? -eq 0 ] || failures=$((failures + 1))
cp "$settings" "$out/User.xml"

# An update: the made-up older version lists plume.exe and plugins\dropped.dll in its
# uninstaller; this version has no dropped.dll, which goes when this version is installed over
# it.
echo "setup-e2e: updating from an older version"
mkdir -p "$work/older/stage/plugins"
printf 'older' > "$work/older/stage/plume.exe"
printf 'dropped' > "$work/older/stage/plugins/dropped.dll"
if bash "$root/scripts/windows-setup" --stage "$work/older/stage" "$work/older" >/dev/null; then
    wine64 "$(ls "$work/older"/plume-*-setup.exe)" /S
    wineserver -w
    if test -f "$instdir/plugins/dropped.dll"; then
        wine64 "$setup" /S
        wineserver -w
        missing=$(cd "$instdir" && find . -type f | sort | comm -13 - <(echo "$files_installed"))
        check "the update removes the older version's dropped.dll and installs every file" \
            test ! -e "$instdir/plugins/dropped.dll" -a -z "$missing"
        wine64 reg query 'HKCU\Software\Classes\Plume.Metafile' >/dev/null 2>&1
        open_with=$?
        cmp -s "$settings" "$out/User.xml"
        check "the update keeps the drawing, User.xml and the Open-with entries" \
            test $? -eq 0 -a "$open_with" -eq 0 -a -s "$stored"
    else
        fail "the older version installs over this one"
    fi
else
    fail "the older version's setup program is made"
fi

echo "setup-e2e: uninstalling"
wine64 "$wininst\\uninstall.exe" /S
wineserver -w
left=$(cd "$instdir" 2>/dev/null && find . -type f | sort | comm -12 - <(echo "$files_installed"))
check "every installed file is removed" test -z "$left"
check "the install folder is removed" test ! -e "$instdir"
check "the Start-menu entry is removed" \
    test ! -e "$users/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Plume.lnk"
wine64 reg query "$uninstall_key" >/dev/null 2>&1
check "the Apps & features entry is removed" test $? -ne 0
wine64 reg query 'HKCU\Software\Classes\Plume.Metafile' >/dev/null 2>&1
check "the Open-with entries are removed" test $? -ne 0
check "the drawing 001.wmf is kept" test -s "$stored"
check "User.xml is kept" cmp -s "$settings" "$out/User.xml"

echo "setup-e2e: $failures failed; screenshots in $out"
[ "$failures" -eq 0 ]
