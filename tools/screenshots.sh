#!/bin/sh
# Takes the README's screenshots of the wizard under Xvfb: the start-up splash,
# page 1, the list page of the PC keyboard empty and with a map loaded from
# the system, and the map edit dialog waiting for a key, into docs/ as PNG;
# the keyboard view of that map for each of the four keyboards; then the list
# page with the map, the edit dialog and the PC keyboard's view again on a
# screen of 192 DPI (200 %).
# Usage: tools/screenshots.sh [BUILD_DIR]
#   default: the build tools/run.sh starts on this host (build/win32 where the
#   host runs 32-bit code, else build/win64)
# Needs a built Lutrovane.exe; installs xdotool, imagemagick and the Korean
# locale if missing.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/wine-arch.sh"
build=$(cd "${1:-$root/build/$lutrovane_arch}" && pwd)
exe=$build/bin/Lutrovane.exe
[ -f "$exe" ] || { echo "screenshots: $exe not built (run tools/run.sh first)" >&2; exit 1; }
# The loader of that build, as its tests run it.
wine=$(sed -n 's/^WINE_EXECUTABLE:FILEPATH=//p' "$build/CMakeCache.txt")
echo "screenshots: $exe, under $wine"
"$root/tools/install-deps.sh" xdotool imagemagick
"$root/tools/korean-locale.sh"

# Wine in Korean, as tools/run.sh runs it, whatever the caller's locale.
export LC_ALL=ko_KR.UTF-8
# A prefix of its own: a Wine server lives on one display, and the tests' or
# tools/run.sh's may be running on another.
export WINEPREFIX=$build/wineprefix-screenshots WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
WINE=$wine "$root/tools/wine-prefix.sh" "$WINEPREFIX"
# The map the list page loads: CapsLock and the left Control key swapped, and
# the left Windows key as the right Alt key, the Hangul key of Korean keyboards.
"$wine" reg add 'HKLM\SYSTEM\CurrentControlSet\Control\Keyboard Layout' /v 'Scancode Map' \
  /t REG_BINARY /d 0000000000000000040000001D003A003A001D0038E05BE000000000 /f >/dev/null 2>&1
# The Wine server of that command must be gone before the wizard starts on
# the private display, or the wizard lands on a desktop without one.
wineserver -w
mkdir -p "$root/docs"

# Runs on the private display: the wizard on a Wine desktop (no window manager
# there), in Korean as on a Korean Windows; each shot trimmed to the windows.
# $1 is the DPI, $2 the desktop's size, $3 what the shots' names end with.
shoot() {
# Wine reads the DPI when a process starts; this command's Wine server, and
# the desktop it made, must be gone before the wizard's desktop is made.
# Every program of the prefix joins the desktop "Default", whose size the
# registry holds (tools/wine-prefix.sh).
"$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$2" /f >/dev/null 2>&1
wineserver -w
xvfb-run -a -s "-screen 0 ${2}x24" sh -eu -c '
  size=$1 suffix=$2 docs=$3 exe=$4 wine=$5
  shot() { import -window root "$docs/.shot.png"; convert "$docs/.shot.png" -trim +repage -strip "$docs/$1"; }
  waitfor() {  # a visible X window that xdotool finds with "$@", within 30 s
    i=0
    until xdotool search --onlyvisible "$@" >/dev/null 2>&1; do
      i=$((i + 1)); [ $i -lt 300 ] || { echo "screenshots: no window $*" >&2; exit 1; }
      sleep 0.1
    done
  }
  LC_ALL=ko_KR.UTF-8 "$wine" explorer /desktop=Default,"$size" "$exe" 2>/dev/null &
  # The splash is the program'"'"'s first visible window (it has no title); the
  # wizard shows a second later. Wine'"'"'s desktop then draws the wizard over
  # the topmost splash, so the splash is taken alone, in that second. Titles
  # are matched by their ASCII parts: "Lutrovane v1.0.3 (단계1)" is page 1,
  # "... (단계2)" a list page.
  waitfor --classname "^lutrovane"; sleep 0.3; [ -n "$suffix" ] || shot splash.png
  waitfor --name "^Lutrovane .*1[)]$"; sleep 3; [ -n "$suffix" ] || shot step1.png
  xdotool key Return; waitfor --name "^Lutrovane .*2[)]$"; sleep 0.5; [ -n "$suffix" ] || shot step2.png
  # The keys a user would press: from the list, past Add, Load file and New
  # map to Load system map (the disabled buttons take no focus); Enter answers
  # its question Yes. Then back to the list, where Space selects the row that
  # shows the focus, the first, and Modify.
  xdotool key Tab Tab Tab Tab space; sleep 1; xdotool key Return; sleep 1; shot step2-map$suffix.png
  # In the dialog, past Cancel and the two lists, Space on the first "키 누르기"
  # makes it wait for a key; it takes the first Escape as that key.
  xdotool key shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab space Tab Tab space
  sleep 1; xdotool key Tab Tab Tab Tab space; sleep 0.5; shot mapedit$suffix.png
  xdotool key Escape; sleep 0.5; xdotool key Escape; sleep 0.5
  # From Modify, past the page'"'"'s other buttons to "키보드 보기", last in
  # the tab order: the picture of the loaded map.
  # The pointer out of the way: over a key it shows that key'"'"'s name.
  xdotool mousemove 0 0
  xdotool key Tab Tab Tab Tab Tab Tab Tab Tab space; sleep 1; shot keyboard-pc$suffix.png
  # The other keyboards at 96 DPI: Back, the next keyboard on page 1, its
  # list page with the system map loaded, and its picture.
  for family in apple-ext apple-pro apple-etc; do
    [ -z "$suffix" ] || break
    xdotool key Escape; sleep 0.5; xdotool key alt+b; sleep 0.5; xdotool key Down Return; sleep 1
    xdotool key Tab Tab Tab Tab space; sleep 1; xdotool key Return; sleep 1
    xdotool key Tab Tab Tab space; sleep 1; shot keyboard-$family.png
  done
  xdotool key Escape; sleep 0.5; xdotool key Escape; wait; wineserver -w
  rm -f "$docs/.shot.png"
' screenshots "$2" "$3" "$root/docs" "$exe" "$wine"
wineserver -w
}
shoot 96 1024x768 ""
shoot 192 2048x1536 -192
"$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
wineserver -w
echo "screenshots: docs/splash.png docs/step1.png docs/step2.png docs/step2-map.png docs/mapedit.png"
echo "screenshots: docs/keyboard-pc.png docs/keyboard-apple-ext.png docs/keyboard-apple-pro.png docs/keyboard-apple-etc.png"
echo "screenshots: docs/step2-map-192.png docs/mapedit-192.png docs/keyboard-pc-192.png"
