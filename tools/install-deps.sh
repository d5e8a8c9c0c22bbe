#!/bin/sh
# Installs the Debian packages that building, testing and running need, once.
# Usage: install-deps.sh [EXTRA-PACKAGE...]
set -eu

packages="cmake make mingw-w64 g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
          g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
          googletest wine wine32:i386 wine64 fonts-wine xvfb xauth fonts-nanum nsis
          clang-14 libclang-rt-14-dev rapidjson-dev $*"

missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "Installing:$missing"
# wine32 is an i386 package, for the 32-bit build; it installs even where the
# host cannot run it (tools/wine-arch.sh), and wine64 runs the 64-bit build.
$sudo dpkg --add-architecture i386
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
