#!/bin/sh
# Prepares a private Wine prefix as a Windows machine would have it: the
# keyboard layout key exists, and the fonts the dialogs name draw Hangul.
# Usage: wine-prefix.sh PREFIX      (safe to run again)
set -eu
WINEPREFIX=$1
WINEDEBUG=-all
WINEDLLOVERRIDES='mscoree,mshtml='
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES

if [ ! -f "$WINEPREFIX/.lutrovane-ready" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wine reg add 'HKLM\SYSTEM\CurrentControlSet\Control\Keyboard Layout' /f >/dev/null 2>&1

  # Korean face names reach regedit intact only through a UTF-16 file.
  reg=$(mktemp --suffix=.reg)
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
    for face in '굴림' 'Gulim' 'Tahoma' 'MS Shell Dlg' 'MS Shell Dlg 2' \
                'Microsoft Sans Serif' 'MS Sans Serif' 'Segoe UI'; do
      printf '"%s"="NanumGothic"\r\n' "$face"
    done
  } | iconv -f UTF-8 -t UTF-16 > "$reg"
  wine regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1
  rm -f "$reg"

  wineserver -w
  touch "$WINEPREFIX/.lutrovane-ready"
fi
