#!/usr/bin/env bash
# CTest's emulator for the Windows builds: runs one program under Wine.
# tools/with-wine.sh sets up the private prefix, the warm wineserver and the
# display; run alone, this falls back to the build's own prefix.
set -eu
. "$(dirname "$0")/wine-loaders.sh"
: "${WINEPREFIX:=$(cd "$(dirname "$0")/.." && pwd)/build/wineprefix}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
exec "$(wine_loader_for "$1")" "$@"
