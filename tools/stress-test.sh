#!/bin/sh
# The test command three times in a row while a CPU-bound process runs on
# every core: no test may depend on the machine being idle. The fuzz targets
# run over their seeds only; their timing is their own.
# Usage: tools/stress-test.sh [RUNS]      (default 3)
set -eu
cd "$(dirname "$0")/.."
runs=${1:-3}

hogs=""
trap 'kill $hogs 2>/dev/null' EXIT INT TERM
for core in $(seq "$(nproc)"); do
  sh -c 'while :; do :; done' &
  hogs="$hogs $!"
done

run=1
while [ $run -le "$runs" ]; do
  echo "== Run $run of $runs, with $(nproc) busy cores"
  LUTROVANE_FUZZ_SECONDS=0 tools/test.sh || { echo "stress: run $run failed" >&2; exit 1; }
  run=$((run + 1))
done
echo "stress: $runs runs passed under load"
