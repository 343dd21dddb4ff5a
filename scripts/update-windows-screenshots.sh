#!/usr/bin/env bash
# Regenerates the README's Windows screenshots: cross-builds the program,
# runs the end-to-end test under Wine (which photographs every step on a
# private X server) and copies its pictures, trimmed to the windows, into
# docs/windows-*.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/windows/build.sh
build=${VISTREL_WINDOWS_BUILD:-build/windows}
shots=$build/tests/desktop/screenshots
bash tests/desktop/e2e_test.sh "$build/vistrel.exe" "$shots"
mkdir -p docs
for shot in 1-start 3-options 5-applying 6-result 8-error; do
  convert "$shots/$shot.png" -trim +repage "docs/windows-$shot.png"
done
echo "Windows screenshots updated in docs/"
