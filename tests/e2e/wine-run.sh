#!/usr/bin/env bash
# Runs a Windows test program under wine64 in the session that with-wine-session.sh set up;
# ctest uses this as the emulator of the x86-64 build. The exit status is the program's.
set -uo pipefail
if [ -z "${ORDANEL_WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
  echo "wine-run.sh: no Wine session; run the tests as: tests/e2e/with-wine-session.sh ctest ..." >&2
  exit 125
fi
export WINEPREFIX=$ORDANEL_WINEPREFIX
export WINEDEBUG=-all
export LC_ALL=zh_CN.UTF-8
exec /usr/lib/wine/wine64 "$@"
