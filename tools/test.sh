#!/bin/sh
# Installs what is missing, builds everything into build/ and runs every test
# under Wine, on a private X server so that no window reaches the user's screen.
set -eu
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake -S . -B build
cmake --build build -j"$(nproc)"
cd build
# Wine turns Windows file names into Unix ones through the locale's character
# set: with no locale set (a minimal server, a cron job) that is ASCII, and a
# file with a Korean name cannot be made. C.UTF-8 is on every Debian.
export LC_ALL=C.UTF-8
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure
