#!/bin/sh
# Installs what is missing, builds everything into build/ and runs every test
# under Wine, on a private X server so that no window reaches the user's screen.
set -eu
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake -S . -B build
cmake --build build -j"$(nproc)"
cd build
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure
