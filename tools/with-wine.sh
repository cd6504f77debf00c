#!/usr/bin/env bash
# Runs a command with a private, throw-away Wine prefix (64-bit, so that the
# 32-bit builds see the real WoW64 registry views), one warm wineserver for
# the whole run, and a display: Xvfb is started when there is none.
# Wine's own programs run through the 64-bit loader. When the 32-bit side
# runs under an emulator, VALDRENNE_I386_EMULATOR names it for the tests.
# Usage: tools/with-wine.sh COMMAND [ARGS...]
set -euo pipefail
tools="$(cd "$(dirname "$0")" && pwd)"
. "$tools/i386-linux.sh"
. "$tools/wine-loaders.sh"
if emulator="$(i386_emulator)"; then
    export VALDRENNE_I386_EMULATOR="$emulator"
else
    unset VALDRENNE_I386_EMULATOR
fi

work="$(mktemp -d /tmp/valdrenne-wine.XXXXXX)"
export WINEPREFIX="$work/prefix"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko installers: the launcher needs neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

xvfb_pid=""
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" >/dev/null 2>&1 || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 100); do
        [ -s "$work/display" ] && break
        sleep 0.1
    done
    export DISPLAY=":$(head -n1 "$work/display")"
fi

"$WINE64_LOADER" wineboot -i >"$work/wineboot.log" 2>&1
wineserver -w
# A crashing program would start the debugger and wait for it: on Windows the
# launcher's error mode prevents that, Wine ignores the error mode and looks
# only at AeDebug. Without a Debugger value Wine falls back to winedbg; an
# empty one starts nothing, so the crashing process simply ends. Both
# registry views, for 32- and 64-bit programs.
for view in 32 64; do
    "$WINE64_LOADER" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ /d '' /f \
        /reg:$view >>"$work/wineboot.log" 2>&1
done
wineserver -w
wineserver -p
# Wine's system processes (services, desktop) start with the first program
# and inherit its output handles; CTest would then wait for them forever.
# Start them here, held up by one idle program, with output to the log.
# The idle program reads a pipe that this script holds open until it exits.
mkfifo "$work/keep"
"$WINE64_LOADER" cmd.exe <"$work/keep" >>"$work/wineboot.log" 2>&1 &
exec 4>"$work/keep"
"$WINE64_LOADER" cmd.exe /c exit >>"$work/wineboot.log" 2>&1
"$@"
