#!/bin/sh
# What a user downloads, checked as they meet it: the ZIP's contents and the
# shipped files as files, then, where this host runs the build, the installer
# run silently in a fresh Wine prefix of its own, the installed program
# started from there, and the silent uninstall.
# Usage: package_test.sh BUILD_DIR VERSION CONFIG ARCH SHIPPED_FILE...
#   ARCH: win32 or win64; $WINE is the loader of that build.
set -u
build=$1 version=$2 config=$3 arch=$4
shift 4
shipped="$*"
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/wine-arch.sh"
WINE=${WINE:-wine}
fails=0
fail() { echo "FAIL: $*" >&2; fails=$((fails + 1)); }
sorted() { printf '%s\n' "$@" | sort; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

case $arch in
  win64) setup=Lutrovane-$version-x64-setup.exe processor=x86_64 format=pei-x86-64
         manifest_arch=amd64 ;;
  *)     setup=Lutrovane-$version-setup.exe processor=i686 format=pei-i386
         manifest_arch=X86 ;;
esac

# The ZIP: the shipped files and the README, exactly, as built.
zip=$build/Lutrovane-$version-$arch.zip
listing=$(cmake -E tar tf "$zip" | sort)
[ "$listing" = "$(sorted $shipped README.md)" ] ||
  fail "the ZIP holds $(echo $listing), not the shipped files and README.md"
(cd "$tmp" && cmake -E tar xf "$zip")
for f in $shipped; do
  cmp -s "$tmp/$f" "$build/bin/$f" || fail "$f in the ZIP is not the one built"
done

# Each file of the build's own processor, its manifest naming that processor
# (Windows refuses to start a program whose manifest names another), and a
# release without debugging sections.
for f in $shipped; do
  headers=$($processor-w64-mingw32-objdump -f -h "$build/bin/$f")
  echo "$headers" | grep -q "file format $format\$" || fail "$f is not $format"
  if [ "$config" = Release ] && echo "$headers" | grep -q ' \.debug'; then
    fail "$f has debugging sections"
  fi
done
for f in Lutrovane.exe lvmap.exe; do
  named=$(grep -ao 'processorArchitecture="[^"]*"' "$build/bin/$f" | sort -u)
  [ "$named" = "processorArchitecture=\"$manifest_arch\"" ] ||
    fail "the manifest of $f names $(echo $named), not $manifest_arch"
done

# Nothing beyond the system's own DLLs, and the whole within 600,000 bytes.
system_dlls="kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll comctl32.dll
             setupapi.dll comdlg32.dll msvcrt.dll ole32.dll oleaut32.dll"
allowed=$(echo "$shipped $system_dlls" | tr 'A-Z ' 'a-z\n')
total=0
for f in $shipped; do
  for dll in $($processor-w64-mingw32-objdump -p "$build/bin/$f" | sed -n 's/^\s*DLL Name: //p'); do
    echo "$allowed" | grep -qix "$dll" || fail "$f needs $dll, which Windows does not have"
  done
  # user32 sets up the window system as it loads, and shell32 and setupapi
  # bring it in: that doubled lvmap's run under Wine. Only the wizard imports them.
  [ "$f" = Lutrovane.exe ] || ! $processor-w64-mingw32-objdump -p "$build/bin/$f" |
    grep -qiE 'DLL Name: (user32|shell32|setupapi)\.dll' || fail "$f imports the window system"
  # The file dialogs and the home page's calls are loaded when first used:
  # loaded at start, they cost the wizard memory and time it may never use.
  ! $processor-w64-mingw32-objdump -p "$build/bin/$f" |
    grep -qiE 'DLL Name: (comdlg32|ole32|oleaut32|shell32)\.dll' ||
    fail "$f imports comdlg32, ole32, oleaut32 or shell32 at start"
  # lvmap loads the one keyboard module a command uses, when it uses it.
  [ "$f" != lvmap.exe ] || ! $processor-w64-mingw32-objdump -p "$build/bin/$f" |
    grep -qiE 'DLL Name: Lutrovane(PC|Apple[A-Za-z]+)\.dll' || fail "$f loads every keyboard module at start"
  total=$((total + $(stat -c %s "$build/bin/$f")))
done
if [ "$config" = Release ] && [ $total -gt 600000 ]; then
  fail "the shipped files take $total bytes, more than 600,000"
fi

if [ $arch = win32 ] && ! runs_32bit; then
  echo "package: this host runs no 32-bit code; the 32-bit installer is checked as a file only"
  [ -s "$build/$setup" ] || fail "no installer $setup"
  [ $fails -eq 0 ] && echo "package: all checks passed"
  exit $((fails > 0))
fi

# A fresh machine, with a map of the user's own already in place.
export WINEPREFIX=$build/wineprefix-package WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
export LC_ALL=C.UTF-8
rm -rf "$WINEPREFIX"
WINE=$WINE "$root/tools/wine-prefix.sh" "$WINEPREFIX"
layout='HKLM\SYSTEM\CurrentControlSet\Control\Keyboard Layout'
user_map=0000000000000000020000001D003A0000000000
"$WINE" reg add "$layout" /v 'Scancode Map' /t REG_BINARY /d $user_map /f >/dev/null

"$WINE" "$build/$setup" /S || fail "the silent install ended with $?"
wineserver -w

# A 64-bit Windows keeps 32-bit programs apart, and their registry entries.
programs=$WINEPREFIX/drive_c/'Program Files'
uninstall_keys='Software\Microsoft'
if [ $arch = win32 ]; then
  [ -d "$programs (x86)" ] && programs="$programs (x86)"
  uninstall_keys="$uninstall_keys Software\\Wow6432Node\\Microsoft"
fi
dir=$programs/Lutrovane
[ "$(ls "$dir" 2>/dev/null | sort)" = "$(sorted $shipped uninstall.exe)" ] ||
  fail "the install folder holds $(ls "$dir" 2>/dev/null | tr '\n' ' ')"
for f in $shipped; do
  cmp -s "$dir/$f" "$build/bin/$f" || fail "the installed $f is not the one built"
done
shortcut=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/'Start Menu'/Programs/Lutrovane.lnk
grep -aqF 'Lutrovane\Lutrovane.exe' "$shortcut" 2>/dev/null ||
  fail "no Start-menu shortcut Lutrovane to the program"

# The entry in the list of installed programs, read through a .reg export:
# its Korean publisher reaches a console mangled.
uninstall_entry() {
  for key in $uninstall_keys; do
    if "$WINE" regedit /E 'C:\entry.reg' \
         "HKEY_LOCAL_MACHINE\\$key\\Windows\\CurrentVersion\\Uninstall\\Lutrovane" >/dev/null 2>&1 &&
       [ -s "$WINEPREFIX/drive_c/entry.reg" ]; then
      iconv -f UTF-16 -t UTF-8 "$WINEPREFIX/drive_c/entry.reg" | tr -d '\r'
      rm -f "$WINEPREFIX/drive_c/entry.reg"
      return
    fi
  done
}
entry=$(uninstall_entry)
# A string value of the entry, unescaped.
value() { echo "$entry" | sed -n "s/^\"$1\"=\"\(.*\)\"\$/\1/p" | sed 's/\\"/"/g; s/\\\\/\\/g'; }
win_dir=$("$WINE" winepath -w "$dir")
for expected in "DisplayName=Lutrovane" "DisplayVersion=$version" "Publisher=Lutrovane 프로젝트" \
                "UninstallString=\"$win_dir\\uninstall.exe\"" \
                "QuietUninstallString=\"$win_dir\\uninstall.exe\" /S"; do
  name=${expected%%=*}
  [ "$(value "$name")" = "${expected#*=}" ] ||
    fail "the uninstall entry has $name '$(value "$name")', not '${expected#*=}'"
done
size_kb=$(echo "$entry" | sed -n 's/^"EstimatedSize"=dword://p')
[ $((0x${size_kb:-0} * 1024)) -ge $total ] ||
  fail "the uninstall entry gives a size of ${size_kb:-no} KB for $total bytes"

"$WINE" "$build/bin/first_window.exe" "$("$WINE" winepath -w "$dir/Lutrovane.exe")" >/dev/null ||
  fail "the installed program shows no window"
wineserver -w

# The user kept a map data file beside the program; uninstalling by the
# entry's quiet command must leave it, the folder holding it, and the map.
echo 'the user map' > "$dir/my map.lvd"
eval "\"\$WINE\" $(value QuietUninstallString)" || fail "the silent uninstall ended with $?"
wineserver -w
[ "$(ls "$dir" 2>/dev/null)" = "my map.lvd" ] ||
  fail "after uninstalling, the install folder holds $(ls "$dir" 2>/dev/null | tr '\n' ' ')"
[ -e "$shortcut" ] && fail "the Start-menu shortcut outlived the uninstall"
[ -z "$(uninstall_entry)" ] || fail "the uninstall entry outlived the uninstall"
"$WINE" reg query "$layout" /v 'Scancode Map' | grep -q "REG_BINARY *$user_map" ||
  fail "uninstalling took the user's Scancode Map"

[ $fails -eq 0 ] && echo "package: all checks passed"
exit $((fails > 0))
