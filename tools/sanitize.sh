#!/bin/sh
# Builds the core's byte handling natively with clang into build-native/, runs
# its unit tests under AddressSanitizer and UndefinedBehaviorSanitizer, then
# each fuzz target over its seeds and regressions and on for a bounded time.
# Usage: tools/sanitize.sh [SECONDS-PER-TARGET]
# The time defaults to $LUTROVANE_FUZZ_SECONDS, else 60; 0 runs the seeds and
# regressions alone. What a target finds lands in build-native/artifacts/.
set -eu
cd "$(dirname "$0")/.."

seconds="${1:-${LUTROVANE_FUZZ_SECONDS:-60}}"
case "$seconds" in
  ''|*[!0-9]*) echo "usage: $0 [SECONDS-PER-TARGET]" >&2; exit 2 ;;
esac

tools/install-deps.sh
# GoogleTest's own project enables C as well: name that compiler too, as a
# minimal Debian has clang-14 from install-deps.sh but no cc.
cmake -S native -B build-native -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_C_COMPILER=clang-14
cmake --build build-native -j2

# A leak fails a test too. The quarantine of freed memory, which catches a use
# after free, is kept small: by default it grows a fuzzer to near 1 GB.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:quarantine_size_mb=64"
export UBSAN_OPTIONS="print_stacktrace=1"
(cd build-native && ctest --output-on-failure)

for target in $(cat build-native/fuzzers.txt); do
  work="build-native/corpus/$target"
  artifacts="build-native/artifacts/$target"
  mkdir -p "$work" "$artifacts"
  # libFuzzer adds what it finds to the first folder only: the build's own,
  # never the seeds or the regressions in the repository.
  set -- "$work" "native/fuzz/corpus/$target"
  [ -d "native/fuzz/regressions/$target" ] && set -- "$@" "native/fuzz/regressions/$target"
  if [ "$seconds" -eq 0 ]; then
    set -- -runs=0 "$@"
  else
    set -- -max_total_time="$seconds" "$@"
  fi
  echo "== $target"
  build-native/"$target" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$@" 2>"build-native/$target.log" || {
    tail -n 40 "build-native/$target.log"
    echo "$target failed; the input is in $artifacts/: copy it to native/fuzz/regressions/$target/" >&2
    exit 1
  }
  grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::new_units_added)' \
    "build-native/$target.log" || true
done
echo "Sanitizer tests and fuzz targets passed."
