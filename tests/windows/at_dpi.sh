#!/bin/sh
# at_dpi.sh DPI COMMAND...: runs COMMAND (a Windows test program under Wine) with Windows set
# to DPI dots per inch (Wine's LogPixels of the current user) and the value put back after.
# Without a display of its own it runs on an Xvfb screen started for it.
set -u
dpi=$1
shift
key='HKCU\Control Panel\Desktop'
xvfb=
if [ -z "${DISPLAY:-}" ]; then
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    xvfb=$!
    read -r number <"$fifo"
    rm -f "$fifo"
    export DISPLAY=":$number"
fi
old=$(wine reg query "$key" /v LogPixels 2>/dev/null |
      sed -n 's/.*REG_DWORD[[:space:]]*0x\([0-9a-fA-F]*\).*/\1/p')
status=1
if wine reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1; then
    PLUME_SCREEN_DPI=$dpi "$@"
    status=$?
fi
if [ -n "$old" ]; then
    wine reg add "$key" /v LogPixels /t REG_DWORD /d "$((0x$old))" /f >/dev/null 2>&1
else
    wine reg delete "$key" /v LogPixels /f >/dev/null 2>&1
fi
[ -n "$xvfb" ] && kill "$xvfb"
exit $status
