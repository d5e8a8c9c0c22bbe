#!/bin/sh
# Prepares a private Wine prefix as a Windows machine would have it: the
# keyboard layout key exists, and the fonts the dialogs name draw Hangul.
# Usage: wine-prefix.sh PREFIX      (safe to run again)
# $WINE is the loader to make it with (default: wine); the 64-bit loader makes
# a prefix that 64-bit programs run in, and 32-bit ones too where the host
# runs 32-bit code.
set -eu
WINE=${WINE:-wine}
WINEPREFIX=$(realpath -m "$1")
WINEDEBUG=-all
WINEDLLOVERRIDES='mscoree,mshtml='
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES

# The marker holds the version of the settings below: a prefix made with an
# older version gets them again, without being made anew. Raise it with them.
version=3
marker=$WINEPREFIX/.lutrovane-ready
if [ "$(cat "$marker" 2>/dev/null)" != "$version" ]; then
  if [ ! -f "$marker" ]; then
    mkdir -p "$WINEPREFIX"
    # A first start that fails leaves a prefix no program loads in (seen once:
    # "could not load kernel32.dll"): made anew once more before giving up.
    if ! "$WINE" wineboot -i >/dev/null 2>&1; then
      wineserver -k 2>/dev/null || true
      rm -rf "$WINEPREFIX"
      mkdir -p "$WINEPREFIX"
      "$WINE" wineboot -i >/dev/null 2>&1
    fi
  fi
  "$WINE" reg add 'HKLM\SYSTEM\CurrentControlSet\Control\Keyboard Layout' /f >/dev/null 2>&1
  # One virtual desktop for every program of the prefix: without a window
  # manager (Xvfb) each window that hides otherwise stalls its thread for 2 s.
  "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
  # 96 DPI, and the program's manifest decides its DPI awareness: without
  # DpiScalingVer Wine makes every process per-monitor aware, whatever its
  # manifest says. The DPI tests change LogPixels for their own runs.
  "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Control Panel\Desktop' /v DpiScalingVer /t REG_DWORD /d 0x1018 /f >/dev/null 2>&1
  # A program that crashes ends at once instead of waiting behind Wine's crash
  # dialog on a display nobody sees (a test would hang until its timeout).
  "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1

  # Korean face names reach regedit intact only through a UTF-16 file.
  reg=$(mktemp --suffix=.reg)
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
    for face in '굴림' 'Gulim' 'Tahoma' 'MS Shell Dlg' 'MS Shell Dlg 2' 'Segoe UI'; do
      printf '"%s"="NanumGothic"\r\n' "$face"
    done
    # The splash window (no text) is laid out in this face: Wine's bitmap MS
    # Sans Serif gives it Windows' dialog units, so its picture fills it.
    printf '"Microsoft Sans Serif"="MS Sans Serif"\r\n'
  } | iconv -f UTF-8 -t UTF-16 > "$reg"
  "$WINE" regedit /S "$("$WINE" winepath -w "$reg")" >/dev/null 2>&1
  rm -f "$reg"

  # Wine's own fonts (package fonts-wine) reach a prefix only when copied into
  # it: Marlett draws the title bar's buttons, sserife.fon is MS Sans Serif.
  for font in marlett.ttf sserife.fon; do
    cp /usr/share/wine/fonts/$font "$WINEPREFIX/drive_c/windows/Fonts/"
  done

  wineserver -w
  echo "$version" > "$marker"
fi
