#!/usr/bin/env bash
# Configures, builds and runs the test suites. Usage: run-tests.sh all|release|asan|tsan
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}
what=${1:-all}

configure_and_build() {  # dir, extra cmake args...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

run_ctest() {  # dir, extra ctest args...
  local dir=$1; shift
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 900 "$@"
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-allocator_may_return_null=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}

if [[ $what == all || $what == release ]]; then
  # Includes the GUI tests (label gui): each starts its own Xvfb and openbox.
  echo "== Optimised build with assertions"
  configure_and_build build/release -DCMAKE_BUILD_TYPE=RelWithAsserts
  run_ctest build/release
fi
if [[ $what == all || $what == asan ]]; then
  echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
  configure_and_build build/asan -DCMAKE_BUILD_TYPE=RelWithAsserts -DVISTREL_SANITIZE=address,undefined \
    -DVISTREL_BUILD_BENCH=OFF
  run_ctest build/asan -LE "^(slow|gui)$"
fi
if [[ $what == all || $what == tsan ]]; then
  echo "== ThreadSanitizer (threaded code)"
  configure_and_build build/tsan -DCMAKE_BUILD_TYPE=RelWithAsserts -DVISTREL_SANITIZE=thread \
    -DVISTREL_BUILD_BENCH=OFF
  run_ctest build/tsan -L "^(platform|engine)$" -LE "^(slow|gui)$"
fi
