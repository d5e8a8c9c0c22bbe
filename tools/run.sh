#!/bin/sh
# Builds Lutrovane and starts the wizard under Wine on this X display.
# On a fresh Debian 12 it first installs what is missing (as root, or through
# sudo). The build goes to build/, the wizard runs in a Wine prefix of its own
# there (build/wineprefix-run), as on a Korean Windows.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build

if [ -z "${DISPLAY:-}" ]; then
  echo "run: no display: DISPLAY is not set. Start this from a graphical session" >&2
  echo "     (or over ssh -X); tools/screenshots.sh shows the wizard without one." >&2
  exit 1
fi

"$root/tools/korean-locale.sh"

cmake -S "$root" -B "$build"
cmake --build "$build" --target Lutrovane -j"$(nproc)"

# Every Wine process in Korean, whatever the caller's locale: Wine takes its
# code page and the character set of Unix file names from it.
export LC_ALL=ko_KR.UTF-8
export WINEPREFIX=$build/wineprefix-run WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
"$root/tools/wine-prefix.sh" "$WINEPREFIX"
# A desktop's own window manager places the windows: no Wine virtual desktop.
wine reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1 || true
wineserver -w

exec wine "$build/bin/Lutrovane.exe"
