#!/usr/bin/env bash
# Sets up the machine, builds the native tools and lists the exports of the sample DLL.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native -- -j2 >/dev/null
echo "Exports of build/native/sample.dll (index, name, RVA, file offset):"
build/native/ordanel-exports build/native/sample.dll
