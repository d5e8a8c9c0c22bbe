#!/bin/sh
# Both builds on one system map. WoW64 redirects HKLM\SOFTWARE but not
# HKLM\SYSTEM, so the map that one architecture's lvmap applies is the one
# that the other's shows and removes, and the one reg.exe finds.
# Usage: cross_arch_test.sh WINE_RUN LVMAP_EXE OTHER_LVMAP_EXE
#   WINE_RUN: the build's wine-run script, which runs both in its prefix.
set -u
run=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/wine-arch.sh"
runs_32bit || { echo "cross_arch: this host runs no 32-bit code"; exit 77; }
fails=0
fail() { echo "FAIL: $*" >&2; fails=$((fails + 1)); }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

layout='HKLM\SYSTEM\CurrentControlSet\Control\Keyboard Layout'
show() { "$run" "$1" show 2>&1 | tr -d '\r'; }
# Applies MAP (hex) from a .reg file with the first program, then reads it
# back with the second and with reg.exe.
round_trip() {
  writer=$1 reader=$2 map=$3
  { printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\%s]\r\n' \
           'SYSTEM\CurrentControlSet\Control\Keyboard Layout'
    printf '"Scancode Map"=hex:%s\r\n' "$(echo "$map" | sed 's/../&,/g; s/,$//')"
  } > "$tmp/map.reg"
  "$run" "$writer" apply "$("$run" winepath -w "$tmp/map.reg")" >/dev/null 2>&1 ||
    fail "$(basename "$(dirname "$writer")") lvmap could not apply $map"
  "$run" reg query "$layout" /v 'Scancode Map' | tr -d '\r' | grep -qi "REG_BINARY *$map\$" ||
    fail "reg.exe does not find $map after $writer applied it"
  [ "$(show "$reader")" = "$(show "$writer")" ] ||
    fail "$reader shows '$(show "$reader")' where $writer shows '$(show "$writer")'"
}
round_trip "$2" "$3" 0000000000000000020000001D003A0000000000
round_trip "$3" "$2" 0000000000000000030000001D003A0038E05BE000000000
"$run" "$2" remove >/dev/null 2>&1 || fail "$2 could not remove the map"
[ "$(show "$3")" = "No map" ] || fail "after $2 removed the map, $3 shows '$(show "$3")'"

[ $fails -eq 0 ] && echo "cross_arch: both builds read and write the same map"
exit $((fails > 0))
