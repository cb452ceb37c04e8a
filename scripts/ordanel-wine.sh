#!/usr/bin/env bash
# Starts the Windows program on Linux under Wine, in code page 936, on the current display.
# The x86-64 build is used because these machines run no 32-bit code; it is built when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -x build/win64/ordanel.exe ]; then
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 --target ordanel -- -j2 >/dev/null
fi
export WINEPREFIX=${WINEPREFIX:-$HOME/.local/share/ordanel-wine}
export WINEDEBUG=${WINEDEBUG:--all}
[ -d "$WINEPREFIX" ] || /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
LC_ALL=zh_CN.UTF-8 exec /usr/lib/wine/wine64 build/win64/ordanel.exe "$@"
