#!/usr/bin/env bash
# Times the lister on images built to make an unbounded export walk run for ever or fill memory, and
# prints wall seconds, CPU seconds and peak RSS of each load (numbers only, no pass or fail).
#
#   bench/hostile.sh [BUILD_DIR]     (default build/native)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build/native}")
cd "$root"

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake --preset native -B "$build" >/dev/null
fi
cmake --build "$build" -j2 --target ordanel-exports bench_make_images >/dev/null
lister=$build/ordanel-exports
dir=$build/bench-hostile
mkdir -p "$dir"
"$build/bench/bench_make_images" hostile "$dir"

echo "| image | what it holds | size MiB | rows | wall s | CPU s | peak RSS MiB |"
echo "|---|---|---|---|---|---|---|"
row() {
    local file=$dir/$1 what=$2 times rows
    times=$(/usr/bin/time -f '%e %U %S %M' "$lister" "$file" 2>&1 >/dev/null | tail -1)
    rows=$("$lister" "$file" | wc -l)
    awk -v img="$1" -v what="$what" -v size="$(stat -c %s "$file")" -v rows="$rows" -v t="$times" 'BEGIN {
        split(t, v, " ")
        printf "| %s | %s | %.1f | %d | %.2f | %.2f | %.1f |\n", img, what, size / 1048576, rows, v[1], v[2] + v[3], v[4] / 1024
    }'
}
row names-7fffffff.dll "NumberOfNames 0x7FFFFFFF over a 3-name table"
row names-zero-free.dll "131072 names, all at 1 MiB of letters with no zero byte"
row sections-32767.dll "32767 overlapping sections, exports in none, 131072 names"
row names-100k.dll "131072 names over 16 names of 100 KB"
