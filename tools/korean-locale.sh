#!/bin/sh
# Makes sure the Korean UTF-8 locale exists: the wizard runs under Wine in it,
# as on a Korean Windows (code page 949, Wine's own texts in Korean). Without
# it Wine would fall back to plain ASCII, also for Unix file names. Generates
# it once when missing (as root, or through sudo).
set -eu
"$(dirname "$0")/install-deps.sh" locales
if ! locale -a | grep -qix 'ko_KR.utf-\{0,1\}8'; then
  sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo localedef -i ko_KR -f UTF-8 ko_KR.UTF-8
fi
