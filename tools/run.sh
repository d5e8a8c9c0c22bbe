#!/bin/sh
# Builds Lutrovane and starts the wizard under Wine on this X display: the
# 32-bit build where the host runs 32-bit code, else the 64-bit one
# (LUTROVANE_NO_32BIT=1 asks for it). On a fresh Debian 12 it first installs
# what is missing (as root, or through sudo). The build goes to build/win32 or
# build/win64, the wizard runs in a Wine prefix of its own there
# (wineprefix-run), as on a Korean Windows.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

if [ -z "${DISPLAY:-}" ]; then
  echo "run: no display: DISPLAY is not set. Start this from a graphical session" >&2
  echo "     (or over ssh -X); tools/screenshots.sh shows the wizard without one." >&2
  exit 1
fi

"$root/tools/korean-locale.sh"
. "$root/tools/wine-arch.sh"
build=$root/build/$lutrovane_arch

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$lutrovane_processor.cmake"
cmake --build "$build" --target Lutrovane -j"$(nproc)"

# Every Wine process in Korean, whatever the caller's locale: Wine takes its
# code page and the character set of Unix file names from it.
export LC_ALL=ko_KR.UTF-8
export WINEPREFIX=$build/wineprefix-run WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
WINE=$lutrovane_wine "$root/tools/wine-prefix.sh" "$WINEPREFIX"
# A desktop's own window manager places the windows: no Wine virtual desktop.
$lutrovane_wine reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1 || true
wineserver -w

echo "run: starting the $lutrovane_arch build, $build/bin/Lutrovane.exe"
exec $lutrovane_wine "$build/bin/Lutrovane.exe"
