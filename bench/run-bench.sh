#!/usr/bin/env bash
# Benchmarks the lister against objdump -p, llvm-readobj --coff-exports and winedump -j export, as whole
# processes on the same files, output to /dev/null: medians of interleaved rounds, peak RSS, ratios.
# Prints numbers only; nothing here passes or fails on a time.
#
#   bench/run-bench.sh [BUILD_DIR]     (default build/native; ROUNDS=15 in the environment)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build/native}")
rounds=${ROUNDS:-15}
cd "$root"

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake --preset native -B "$build" >/dev/null
fi
cmake --build "$build" -j2 --target ordanel-exports bench_make_images bench_rounds >/dev/null
lister=$build/ordanel-exports

dll65k=$("$root/bench/make-65k-dll.sh" "$build")
libstdcxx=/usr/lib/gcc/i686-w64-mingw32/12-posix/libstdc++-6.dll

echo "Lister: $lister; $rounds interleaved rounds per file; times are medians in seconds."
echo
echo "| file | tool | wall s | CPU s | peak RSS MiB | time vs fastest peer |"
echo "|---|---|---|---|---|---|"
for file in "$dll65k" "$libstdcxx"; do
    [ -f "$file" ] || { echo "| $(basename "$file") | missing | | | | |"; continue; }
    (cd "$(dirname "$file")" && "$build/bench/bench_rounds" "$rounds" "$(basename "$file")" \
        ::: ordanel-exports "$lister" "$file" \
        ::: "objdump -p" objdump -p "$file" \
        ::: "llvm-readobj --coff-exports" llvm-readobj --coff-exports "$file" \
        ::: "winedump -j export" winedump -j export "$file")
done
