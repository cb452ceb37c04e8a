#!/usr/bin/env bash
# Benchmarks a big load in the real window under Wine: the time from a drop on ordanel.exe (x86-64
# build) to the last row of its list, and the program's memory after the fill, for the generated
# 65,000-export DLL, the i686 libstdc++-6.dll and the small sample DLL (its rows show the drag's fixed
# cost). Runs in a fresh Wine session with the default theme. Prints numbers only; nothing here passes
# or fails on a time.
#
#   bench/run-gui-bench.sh [WIN64_BUILD_DIR [NATIVE_BUILD_DIR]]   (defaults build/win64, build/native)
#   ROUNDS=5 (fresh program per round), DROPS=2 (first load, then replacing loads),
#   THEME=off (Wine's theme switched off, for comparison)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
win64=$(realpath -m "${1:-$root/build/win64}")
native=$(realpath -m "${2:-$root/build/native}")
rounds=${ROUNDS:-5}
drops=${DROPS:-2}
cd "$root"

if [ ! -f "$win64/CMakeCache.txt" ]; then
    cmake --preset win64 -B "$win64" >/dev/null
fi
cmake --build "$win64" -j2 --target gui-load-bench ordanel ordanel-exports sample_dll >/dev/null
if [ ! -f "$native/CMakeCache.txt" ]; then
    cmake --preset native -B "$native" >/dev/null
fi
cmake --build "$native" -j2 --target bench_make_images >/dev/null

dll65k=$("$root/bench/make-65k-dll.sh" "$native")
libstdcxx=/usr/lib/gcc/i686-w64-mingw32/12-posix/libstdc++-6.dll
images=("$win64/sample.dll" "$dll65k")
[ -f "$libstdcxx" ] && images+=("$libstdcxx")

theme_off=
if [ "${THEME:-on}" = off ]; then
    theme_off='/usr/lib/wine/wine64 reg add "HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager" /v ThemeActive /t REG_SZ /d 0 /f >/dev/null 2>&1;'
fi
# Other work on the machine lengthens the wall-clock times: the load averages go with the numbers.
echo "ordanel.exe from $win64; theme ${THEME:-on}; $rounds rounds of $drops drops per image;" \
    "$(nproc) processors, load average $(cut -d' ' -f1-3 /proc/loadavg) before."
echo
# The benchmark prints code page 936 text only in error messages; iconv makes them readable here.
tests/e2e/with-wine-session.sh bash -c "$theme_off"' exec tests/e2e/wine-run.sh "$@"' bash \
    "$win64/bench/windows/gui-load-bench.exe" --rounds "$rounds" --drops "$drops" "${images[@]}" 2>&1 |
    iconv -f GBK -t UTF-8 -c
echo
echo "Load average after: $(cut -d' ' -f1-3 /proc/loadavg)."
