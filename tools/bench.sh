#!/bin/sh
# Builds the release that this host runs (the 32-bit one where it runs 32-bit
# code, else the 64-bit one) and measures Lutrovane against bare Win32
# programs doing the same work (bench/), in one run under Wine on a private X
# display, in a Wine prefix of its own (build/ARCH/wineprefix-bench). Prints
# one line a figure: medians of repeated runs, Lutrovane, the baseline and
# their ratio.
# Usage: bench.sh [RUNS]   RUNS: program starts per figure (default 11)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/wine-arch.sh"
build=$root/build/$lutrovane_arch
wine() { "$lutrovane_wine" "$@"; }
winepath() { "$lutrovane_wine" winepath "$@"; }

if [ "${1:-}" != --measure ]; then
  "$root/tools/install-deps.sh"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$lutrovane_processor.cmake" >/dev/null
  cmake --build "$build" -j"$(nproc)" \
    --target Lutrovane package first_window bare_window bare_edit_dialog bare_registry \
             bench_lutrovane >/dev/null
  export WINEPREFIX=$build/wineprefix-bench WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
  export LC_ALL=C.UTF-8
  WINE=$lutrovane_wine "$root/tools/wine-prefix.sh" "$WINEPREFIX"
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --measure "${1:-11}"
fi
runs=$2
bin=$build/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

median() {
  sort -n | awk '{ v[NR] = $1 }
    END { if (NR) print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
# The median of one figure's lines "name value" in a file.
figure() { sed -n "s/^$1 //p" "$2" | median; }
row() {
  awk -v name="$1" -v a="$2" -v b="$3" -v fmt="$4" 'BEGIN {
    printf "%-20s %9" fmt " %9" fmt "  %5.2f\n", name, a, b, a / b }'
}
# Appends first_window's figures for one start to FILE.
start() {
  file=$1; shift
  wine "$bin/first_window.exe" "$@" | tr -d '\r' |
    awk '{ print "start_to_window_ms " $1; print "working_set_kb " $2 }' >> "$file"
  wineserver -w
}

start "$work/warm-up.txt" "$bin/Lutrovane.exe"  # Wine loads its own DLLs once

# Lutrovane and its baseline take turns, so that whatever else the machine
# does falls on both alike.
i=0
while [ $i -lt "$runs" ]; do
  start "$work/lutrovane-start.txt" "$bin/Lutrovane.exe"
  start "$work/bare-start.txt" "$bin/bare_window.exe"
  i=$((i + 1))
done
# The working set once both are fully up: Lutrovane's wizard appears a
# second after its splash.
i=0
while [ $i -lt 5 ]; do
  start "$work/lutrovane-ws.txt" --settle 1500 "$bin/Lutrovane.exe"
  start "$work/bare-ws.txt" --settle 1500 "$bin/bare_window.exe"
  i=$((i + 1))
done

wdir=$(winepath -w "$work")
i=0
while [ $i -lt 5 ]; do
  wine "$bin/bench_lutrovane.exe" "$wdir" | tr -d '\r' >> "$work/lutrovane.txt"
  wine "$bin/bare_registry.exe" "$wdir" | tr -d '\r' >> "$work/bare.txt"
  wine "$bin/bare_edit_dialog.exe" "$wdir" | tr -d '\r' >> "$work/bare.txt"
  i=$((i + 1))
done
wineserver -w

shipped=0
for f in $(cat "$build/package/shipped-files.txt"); do
  shipped=$((shipped + $(stat -c %s "$bin/$f")))
done

# The machine on stderr, the table alone on stdout.
echo "the $lutrovane_arch build; $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1), $(nproc) cores;" \
     "$(wine --version); Xvfb; medians of $runs starts, of 5 working sets, of 5 x 201" \
     "registry and 5 x 31 dialog calls" >&2
printf '%-20s %9s %9s  %5s\n' figure lutrovane baseline ratio
row start_to_window_ms "$(figure start_to_window_ms "$work/lutrovane-start.txt")" \
    "$(figure start_to_window_ms "$work/bare-start.txt")" .1f
row edit_dialog_open_ms "$(figure edit_dialog_open_ms "$work/lutrovane.txt")" \
    "$(figure edit_dialog_open_ms "$work/bare.txt")" .2f
row apply_us "$(figure apply_us "$work/lutrovane.txt")" "$(figure apply_us "$work/bare.txt")" .1f
row load_system_map_us "$(figure load_system_map_us "$work/lutrovane.txt")" \
    "$(figure load_system_map_us "$work/bare.txt")" .1f
row working_set_kb "$(figure working_set_kb "$work/lutrovane-ws.txt")" \
    "$(figure working_set_kb "$work/bare-ws.txt")" .0f
printf '%-20s %9s %9s  %5s\n' shipped_bytes "$shipped" - -
