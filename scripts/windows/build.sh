#!/usr/bin/env bash
# Cross-builds Vistrel for 64-bit Windows into build/windows (programs and
# test suites), after installing the packages and building the image
# libraries when needed (their progress shows). Prints nothing else on
# success but cmake's output.
set -euo pipefail
cd "$(dirname "$0")/../.."
jobs=${JOBS:-$(nproc)}
build=${VISTREL_WINDOWS_BUILD:-build/windows}

scripts/windows/install-packages.sh
deps=$(JOBS=$jobs scripts/windows/build-libs.sh | tail -1)
[[ -f $deps/.complete ]] || { echo "The image libraries did not build" >&2; exit 1; }

cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DVISTREL_WINDOWS_DEPS="$deps" -DCMAKE_BUILD_TYPE=RelWithAsserts > /dev/null
cmake --build "$build" -j "$jobs"
