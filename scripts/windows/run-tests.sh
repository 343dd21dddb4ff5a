#!/usr/bin/env bash
# Builds Vistrel for Windows and runs its test suites under Wine through
# CTest, with one warm wineserver for the run. Extra arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=${VISTREL_WINDOWS_BUILD:-build/windows}
scripts/windows/build.sh

export WINEPREFIX=$root/$build/wine-prefix
. scripts/windows/wine-env.sh
t0=$SECONDS
wine_fresh_prefix
echo "-- Wine prefix ready in $((SECONDS - t0)) s"
wine_keep_server
trap 'wineserver -k 2>/dev/null || true' EXIT

ctest --test-dir "$build" --output-on-failure --timeout 1200 -j "${JOBS:-$(nproc)}" "$@"
