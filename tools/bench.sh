#!/bin/sh
# Builds the release and measures Lutrovane against bare Win32 programs doing
# the same work (bench/), in one run under Wine on a private X display, in a
# Wine prefix of its own (build/wineprefix-bench). Prints one line a figure:
# medians of repeated runs, Lutrovane, the baseline and their ratio.
# Usage: bench.sh [RUNS]   RUNS: program starts per figure (default 11)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build

if [ "${1:-}" != --measure ]; then
  "$root/tools/install-deps.sh"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j"$(nproc)" \
    --target Lutrovane package first_window bare_window bare_edit_dialog bare_registry \
             bench_lutrovane >/dev/null
  export WINEPREFIX=$build/wineprefix-bench WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
  export LC_ALL=C.UTF-8
  "$root/tools/wine-prefix.sh" "$WINEPREFIX"
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --measure "${1:-11}"
fi
runs=$2
bin=$build/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# first_window's figures over RUNS starts: field 1 the window, 2 the working set.
starts() {
  field=$1; shift
  i=0
  while [ $i -lt "$runs" ]; do
    wine "$bin/first_window.exe" "$@" | cut -d' ' -f"$field"
    wineserver -w
    i=$((i + 1))
  done | median
}
figure() { sed -n "s/^$1 //p" "$2"; }
row() {
  awk -v name="$1" -v a="$2" -v b="$3" -v fmt="$4" 'BEGIN {
    printf "%-20s %9" fmt " %9" fmt "  %5.2f\n", name, a, b, a / b }'
}

wine "$bin/first_window.exe" "$bin/Lutrovane.exe" >/dev/null  # loads Wine's own DLLs once
wineserver -w

lutrovane_start=$(starts 1 "$bin/Lutrovane.exe")
bare_start=$(starts 1 "$bin/bare_window.exe")
# Read once both are fully up: Lutrovane's wizard appears a second after its splash.
lutrovane_ws=$(starts 2 --settle 1500 "$bin/Lutrovane.exe")
bare_ws=$(starts 2 --settle 1500 "$bin/bare_window.exe")

wdir=$(winepath -w "$work")
wine "$bin/bench_lutrovane.exe" "$wdir" | tr -d '\r' > "$work/lutrovane.txt"
wine "$bin/bare_registry.exe" "$wdir" | tr -d '\r' > "$work/bare.txt"
wine "$bin/bare_edit_dialog.exe" "$wdir" | tr -d '\r' >> "$work/bare.txt"
wineserver -w

shipped=0
for f in $(cat "$build/package/shipped-files.txt"); do
  shipped=$((shipped + $(stat -c %s "$bin/$f")))
done

echo "# $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1), $(nproc) cores;" \
     "$(wine --version); Xvfb; medians of $runs starts and of 201 (registry) or 31 (dialog) calls"
printf '%-20s %9s %9s  %5s\n' figure lutrovane baseline ratio
row start_to_window_ms "$lutrovane_start" "$bare_start" .1f
dialog=$(figure edit_dialog_open_ms "$work/lutrovane.txt")
if [ -n "$dialog" ]; then
  row edit_dialog_open_ms "$dialog" "$(figure edit_dialog_open_ms "$work/bare.txt")" .2f
else
  printf '%-20s %9s %9s  %5s   (no map edit dialog in this build)\n' edit_dialog_open_ms - \
    "$(figure edit_dialog_open_ms "$work/bare.txt")" -
fi
row apply_us "$(figure apply_us "$work/lutrovane.txt")" "$(figure apply_us "$work/bare.txt")" .1f
row load_system_map_us "$(figure load_system_map_us "$work/lutrovane.txt")" \
    "$(figure load_system_map_us "$work/bare.txt")" .1f
row working_set_kb "$lutrovane_ws" "$bare_ws" .0f
printf '%-20s %9s %9s  %5s\n' shipped_bytes "$shipped" - -
