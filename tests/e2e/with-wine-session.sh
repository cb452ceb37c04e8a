#!/usr/bin/env bash
# Runs CMD... inside a fresh Wine session: a new prefix in a temporary folder, its own Xvfb display
# and one persistent wineserver, all removed afterwards. Exits with CMD's status.
#   tests/e2e/with-wine-session.sh ctest --preset win64
set -uo pipefail
if [ "$#" -eq 0 ]; then
  echo "usage: with-wine-session.sh CMD [ARG...]" >&2
  exit 2
fi
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  echo "with-wine-session.sh: the zh_CN.UTF-8 locale is missing (scripts/setup.sh generates it)" >&2
  exit 2
fi
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
for tool in "$wine" "$wineserver" Xvfb; do
  command -v "$tool" >/dev/null || { echo "with-wine-session.sh: $tool is missing (scripts/setup.sh installs it)" >&2; exit 2; }
done

session=$(mktemp -d "${TMPDIR:-/tmp}/ordanel-wine.XXXXXX")
xvfb_pid=
cleanup() {
  [ -d "$session/prefix" ] && WINEPREFIX=$session/prefix "$wineserver" -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$session"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Xvfb picks a free display number and writes it to the file descriptor it is given.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$session/display" >"$session/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$session/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$session/display" ]; then
  echo "with-wine-session.sh: Xvfb did not start:" >&2
  cat "$session/xvfb.log" >&2
  exit 2
fi
export DISPLAY=:$(head -n 1 "$session/display")

export WINEPREFIX=$session/prefix WINEDEBUG=-all LC_ALL=zh_CN.UTF-8
mkdir "$WINEPREFIX"
"$wineserver" -p
# wineboot warns about syswow64/rundll32.exe on a 64-bit-only Wine; that is harmless.
"$wine" wineboot -i >"$session/wineboot.log" 2>&1 || {
  echo "with-wine-session.sh: wineboot failed:" >&2
  cat "$session/wineboot.log" >&2
  exit 2
}
# No window manager runs on Xvfb: Wine draws caption and frame itself, as Windows does.
for value in Decorated Managed; do
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v "$value" /t REG_SZ /d N /f >/dev/null 2>&1
done

export ORDANEL_WINEPREFIX=$WINEPREFIX
"$@"
exit $?
