#!/usr/bin/env bash
# Takes docs/screenshot.png: ordanel.exe under Wine with the sample DLL dropped on its window.
# Builds nothing: expects the x86-64 build (default build/win64; another build folder may be given).
#   scripts/screenshot.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/win64}
for file in "$build/ordanel.exe" "$build/sample.dll" "$build/tests/e2e/drop-files.exe"; do
  [ -f "$file" ] || { echo "screenshot.sh: $file is missing; build first: cmake --build --preset win64" >&2; exit 1; }
done
command -v import >/dev/null || { echo "screenshot.sh: ImageMagick is missing (scripts/setup.sh installs it)" >&2; exit 1; }

# Runs itself again inside a Wine session of its own.
if [ -z "${ORDANEL_WINEPREFIX:-}" ]; then
  exec tests/e2e/with-wine-session.sh "$0" "$build"
fi

run=tests/e2e/wine-run.sh
shot=$(mktemp --suffix=.png)
trap 'rm -f "$shot"' EXIT
"$run" "$build/ordanel.exe" &
program=$!
geometry=$("$run" "$build/tests/e2e/drop-files.exe" "Z:$(realpath "$build/sample.dll" | tr / '\\')" | tr -d '\r')
sleep 1  # the list paints after the drop has returned
import -window root "$shot"
kill "$program" 2>/dev/null || true
mkdir -p docs
convert "$shot" -crop "$geometry" +repage -strip docs/screenshot.png
echo "screenshot.sh: wrote docs/screenshot.png ($geometry)"
