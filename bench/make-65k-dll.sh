#!/usr/bin/env bash
# Makes the benchmarks' DLL of about 65,000 named exports, C and mangled C++ names bound to eight
# functions, once per native build folder, and prints its path.
#   bench/make-65k-dll.sh NATIVE_BUILD_DIR      (bench_make_images must be built there)
set -euo pipefail
native=$1
data=$native/bench-data
dll=$data/bench_exports.dll
mkdir -p "$data"
if [ ! -f "$dll" ] || [ "$native/bench/bench_make_images" -nt "$dll" ]; then
    "$native/bench/bench_make_images" def 65000 "$data/bench_exports.def"
    for i in 0 1 2 3 4 5 6 7; do echo "int bench_fn$i(void) { return $i; }"; done >"$data/bench_exports.c"
    i686-w64-mingw32-gcc-posix -shared -O2 -s -o "$dll" "$data/bench_exports.c" "$data/bench_exports.def"
fi
echo "$dll"
