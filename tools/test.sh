#!/bin/sh
# Installs what is missing, builds both architectures into build/win32 and
# build/win64, and runs every test under Wine, on a private X server so that
# no window reaches the user's screen: the 64-bit build on every host, the
# 32-bit build too where the host runs 32-bit code (elsewhere its files are
# checked as files), and the benchmark once through. Then tools/sanitize.sh
# runs the byte handling's tests natively under the sanitizers and each fuzz
# target for a bounded time (its argument, or $LUTROVANE_FUZZ_SECONDS, per
# target).
# LUTROVANE_NO_32BIT=1 acts as on a host that runs no 32-bit code.
set -eu
cd "$(dirname "$0")/.."

tools/install-deps.sh
. tools/wine-arch.sh
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake"
cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-x86_64.cmake" \
      -DLUTROVANE_OTHER_BUILD="$PWD/build/win32"
cmake --build build/win32 -j"$(nproc)"
cmake --build build/win64 -j"$(nproc)"
# Wine turns Windows file names into Unix ones through the locale's character
# set: with no locale set (a minimal server, a cron job) that is ASCII, and a
# file with a Korean name cannot be made. C.UTF-8 is on every Debian.
export LC_ALL=C.UTF-8
wine_result=0
suite() {
  echo "== The $1 build under Wine"
  build=build/$1; shift
  (cd "$build" && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure "$@") ||
    wine_result=$?
}
if runs_32bit; then
  suite win64 -E '^cross_arch$'
  suite win32
  # Both builds' programs on one system map: runs 32-bit and 64-bit code.
  suite win64 -R '^cross_arch$'
else
  echo "This host runs no 32-bit code: the 32-bit build is checked as files, not run."
  suite win64 -E '^cross_arch$'
  suite win32 -R '^package_tests$'
fi
# The benchmark once through, on the build this host runs: that it builds,
# runs and prints every figure. Its timings are not checked.
echo "== The benchmark, one round of each figure"
tools/bench.sh --quick || wine_result=$?
# 30 s a fuzz target keeps the whole command near a quarter of an hour on two
# cores; tools/sanitize.sh alone fuzzes for 60 s.
tools/sanitize.sh "${1:-${LUTROVANE_FUZZ_SECONDS:-30}}"
exit "$wine_result"
