#!/usr/bin/env bash
# Runs one Windows test program under Wine for CTest (the cross build's
# emulator). Now and then Wine fails to start a process at all: it ends with
# a non-zero status after a few milliseconds, before any Windows process
# could have run, and prints nothing. That start is tried again, up to two
# more times, and said so; a program that ran and failed is never retried.
set -uo pipefail
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for attempt in 1 2 3; do
  start=$(date +%s%N)
  wine "$@" 2>&1 | tee "$log"
  status=${PIPESTATUS[0]}
  elapsed_ms=$((($(date +%s%N) - start) / 1000000))
  if (( status == 0 || elapsed_ms >= 50 )) || [[ -s $log ]]; then
    exit "$status"
  fi
  echo "wine-run: Wine ended with status $status after $elapsed_ms ms without starting $1 (attempt $attempt)" >&2
done
exit "$status"
