#!/usr/bin/env bash
# Builds the fuzz preset in build/fuzz, makes the seeds and fuzzes the whole load for SECONDS (default 60).
# Fails on any crash, leak, undefined behaviour, time-out or memory overrun; installs nothing.
set -euo pipefail

seconds=${1:-60}
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build/fuzz
cd "$root"

cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j2 --target fuzz_load fuzz_seeds >/dev/null

# Each run starts from the seeds; what it found is kept until the next run, findings in artifacts/.
corpus=$build/fuzz-corpus
artifacts=$build/fuzz-artifacts
log=$build/fuzz.log
rm -rf "$corpus"
mkdir -p "$corpus" "$artifacts"

# A count field near 0x7FFFFFFF makes one run walk the whole row bound; weighing inputs by their run
# time keeps such inputs from taking most of the time.
status=0
"$build/fuzz_load" -max_total_time="$seconds" -max_len=1048576 -timeout=10 -rss_limit_mb=512 \
    -entropic_scale_per_exec_time=1 -dict="$root/tests/fuzz/fuzz_load.dict" \
    -artifact_prefix="$artifacts/" -print_final_stats=1 \
    "$corpus" "$build/fuzz-seeds" >"$log" 2>&1 || status=$?

runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
if [ "$status" -ne 0 ] || grep -qE '^==[0-9]+==ERROR|runtime error:|deadly signal|ALARM|out-of-memory' "$log"; then
    grep -E 'ERROR|runtime error:|SUMMARY|invariant broken|Test unit written|ALARM|out-of-memory' "$log" | head -20 || true
    echo "fuzz: FAILED (exit $status) after ${runs:-?} runs; log $log, findings in $artifacts"
    exit 1
fi
echo "fuzz: ok, ${runs:-?} runs in ${seconds} s, corpus $(ls "$corpus" | wc -l) files, no crash, leak, UB or time-out"
