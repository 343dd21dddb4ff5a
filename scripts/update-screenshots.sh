#!/usr/bin/env bash
# Regenerates the README's screenshots: runs the end-to-end test (which
# drives the desktop program on a private X server and photographs every
# step) and copies its pictures, trimmed to the windows, into docs/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithAsserts >/dev/null
cmake --build build/release -j "$(nproc)" --target vistrel vistrel-cli
VISTREL_REFERENCE_CLI=$PWD/build/release/vistrel-cli \
  bash tests/desktop/e2e_test.sh build/release/vistrel build/release/tests/desktop/screenshots
mkdir -p docs
for shot in 1-start 3-options 4-preview 5-applying 6-result 7-batch 8-error; do
  convert "build/release/tests/desktop/screenshots/$shot.png" -trim +repage "docs/$shot.png"
done
echo "Screenshots updated in docs/"
