#!/usr/bin/env bash
# Runs one Windows program under Wine: the cross build's test launcher, and
# the desktop tests' too. Now and then Wine fails to start a process at all:
# it ends with a non-zero status within a few milliseconds, printing
# nothing, where starting even the smallest Windows program takes some
# 100 ms. Such a start is tried again, up to two more times, and said so; a
# program that ran long enough to have started is never retried. Output is
# passed straight through: Wine's own background processes inherit it and
# may hold it open long after the program has ended.
set -u
for attempt in 1 2 3; do
  start=$(date +%s%N)
  wine "$@"
  status=$?
  elapsed_ms=$((($(date +%s%N) - start) / 1000000))
  if (( status == 0 || elapsed_ms >= 30 )); then
    exit "$status"
  fi
  echo "wine-run: Wine ended with status $status after $elapsed_ms ms without starting $1 (attempt $attempt)" >&2
done
exit "$status"
