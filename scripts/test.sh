#!/usr/bin/env bash
# Sets up the machine and runs every test: the reader's unit tests and the comparison with llvm-readobj
# (native), the Windows program's end-to-end tests under Wine (x86-64 build), a fuzz run of the reader,
# and the PE32 release build. Warnings are errors here.
set -uo pipefail
cd "$(dirname "$0")/.."
export ORDANEL_WERROR=1
fuzz_seconds=${ORDANEL_FUZZ_SECONDS:-60}

scripts/setup.sh || exit 1

passed=0
failed=0
failures=()
logdir=$(mktemp -d)
trap 'rm -rf "$logdir"' EXIT

# Runs one stage; ctest's own summary line adds its counts, any other stage counts as one test.
stage() {
  local name=$1
  shift
  echo "== $name"
  local log="$logdir/$name.log"
  local started=$SECONDS
  "$@" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  local summary
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$summary" ]; then
    local total bad
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$summary")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    [ "$status" -ne 0 ] && [ "$bad" -eq 0 ] && failed=$((failed + 1))
  elif [ "$status" -eq 0 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
  fi
  [ "$status" -eq 0 ] || failures+=("$name")
  echo "== $name: exit $status after $((SECONDS - started)) s"
}

build() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -- -j2
}

# The release is PE32 (i686); these machines cannot run it, so it is built and its format checked.
release_build() {
  build win32 || return 1
  local exe
  for exe in build/win32/ordanel.exe build/win32/ordanel-exports.exe; do
    objdump -f "$exe" | grep -q 'file format pei-i386' || { echo "$exe is not PE32"; return 1; }
  done
}

stage native-build build native
stage native-tests ctest --preset native
stage win32-release release_build
stage win64-build build win64
stage wine-tests tests/e2e/with-wine-session.sh ctest --preset win64
stage fuzz tests/fuzz/run-fuzz.sh "$fuzz_seconds"

if [ "${#failures[@]}" -gt 0 ]; then
  echo "failed stages: ${failures[*]}"
fi
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
