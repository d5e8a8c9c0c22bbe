#!/bin/sh
# Builds the release that this host runs (the 32-bit one where it runs 32-bit
# code, else the 64-bit one) and measures Lutrovane against bare Win32
# programs and calls doing the same work, and lvmap against reg.exe (bench/),
# under Wine on a private X display, in a Wine prefix of its own
# (build/ARCH/wineprefix-bench). Prints one line a figure: Lutrovane, the
# baseline, their ratio, and the lowest and highest ratio of the repeats.
# Usage: bench.sh [--repeat N | --quick]
#   --repeat N  the whole measurement N times; each figure is the median of
#               the N (default 1)
#   --quick     one round of each figure: that every figure comes out, for
#               the test command; its timings mean nothing
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/wine-arch.sh"
build=$root/build/$lutrovane_arch
# Not named `wine`: $lutrovane_wine is `wine` itself on hosts that run 32-bit
# code, and a function of that name would call itself.
on_wine() { "$lutrovane_wine" "$@"; }
usage() { echo "usage: $0 [--repeat N | --quick]" >&2; exit 2; }

case "${1:-}" in
  --measure) mode=$2 repeat=$3 ;;  # under xvfb-run, from below
  --quick) mode=quick repeat=1 ;;
  --repeat)
    repeat=${2:-}
    case "$repeat" in ''|*[!0-9]*|0) usage ;; esac
    mode=full ;;
  '') mode=full repeat=1 ;;
  *) usage ;;
esac

if [ "${1:-}" != --measure ]; then
  "$root/tools/install-deps.sh"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$lutrovane_processor.cmake" >/dev/null
  cmake --build "$build" -j"$(nproc)" \
    --target Lutrovane lvmap package first_window bare_window bench_lutrovane bench_history \
             bare_show process_pair >/dev/null
  export WINEPREFIX=$build/wineprefix-bench WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
  export LC_ALL=C.UTF-8
  WINE=$lutrovane_wine "$root/tools/wine-prefix.sh" "$WINEPREFIX"
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --measure "$mode" "$repeat"
fi

# Per measurement: program starts, working sets, bench_lutrovane runs (each
# ROUNDS registry rounds and DIALOGS dialog openings) and process pairs.
if [ "$mode" = quick ]; then
  starts=1 sets=1 rounds=1 dialogs=1 processes=1
else
  starts=11 sets=5 rounds=201 dialogs=31 processes=21
fi
bin=$build/bin
history_parts="history_change_us history_listing_us history_security_us history_kept_file_us
               history_pruning_us history_lock_us"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
wdir=$(on_wine winepath -w "$work")
wbin=$(on_wine winepath -w "$bin")
layout='HKLM\SYSTEM\CurrentControlSet\Control\Keyboard Layout'

median() {
  sort -n | awk '{ v[NR] = $1 }
    END { if (NR) print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
# The median of column COLUMN (2 by default) of one figure's lines
# "name value..." in a file.
figure() { awk -v name="$1" -v c="${3:-2}" '$1 == name { print $c }' "$2" | median; }
# Appends first_window's figures for one start to FILE.
start() {
  file=$1; shift
  on_wine "$bin/first_window.exe" "$@" | tr -d '\r' |
    awk '{ print "start_to_window_ms " $1; print "working_set_kb " $2 }' >> "$file"
  wineserver -w
}
# Appends process_pair's line for FIGURE, our command line and the baseline's
# (one or more).
pair() {
  name=$1 ours=$2
  shift 2
  on_wine "$bin/process_pair.exe" "$name" "$processes" "$ours" "$@" | tr -d '\r' >> "$work/pairs.txt"
}

# One whole measurement: appends "figure ours baseline ratio" lines to
# $work/figures.txt.
measure() {
  rm -f "$work"/*.txt.part "$work/pairs.txt"
  # Lutrovane and its baseline take turns, so that whatever else the machine
  # does falls on both alike.
  i=0
  while [ $i -lt $starts ]; do
    start "$work/ours-start.txt.part" "$bin/Lutrovane.exe"
    start "$work/bare-start.txt.part" "$bin/bare_window.exe"
    i=$((i + 1))
  done
  # The working set once both are fully up: Lutrovane's wizard appears a
  # second after its splash.
  i=0
  while [ $i -lt $sets ]; do
    start "$work/ours-ws.txt.part" --settle 1500 "$bin/Lutrovane.exe"
    start "$work/bare-ws.txt.part" --settle 1500 "$bin/bare_window.exe"
    i=$((i + 1))
  done
  # The edit dialog, Apply and Load system map by turns with their baselines,
  # in one process, and the parts of Apply's change through the history.
  i=0
  while [ $i -lt $sets ]; do
    on_wine "$bin/bench_lutrovane.exe" "$wdir" $rounds $dialogs | tr -d '\r' >> "$work/ours.txt.part"
    on_wine "$bin/bench_history.exe" $rounds | tr -d '\r' >> "$work/history.txt.part"
    i=$((i + 1))
  done
  wineserver -w
  # What a user would otherwise run, on the two maps bench_lutrovane left as
  # a user's files, by turns so that every lvmap apply changes the map and
  # keeps an entry. The baselines import theirs into a value of their own
  # beside the map, or lvmap would find the map they had just written. Those
  # maps leave no key for Ctrl+Alt+Del, which lvmap refuses without --force;
  # its checks run all the same.
  for n in 1 2; do
    iconv -f UTF-16 -t UTF-8 "$work/map$n.reg" | sed 's/^"Scancode Map"=/"Bare Map"=/' |
      iconv -f UTF-8 -t UTF-16 > "$work/bare$n.reg"
  done
  pair lvmap_apply_ms "\"$wbin\\lvmap.exe\" apply \"$wdir\\map{}.reg\" --force" \
       "reg import \"$wdir\\bare{}.reg\""
  pair lvmap_apply_export_ms "\"$wbin\\lvmap.exe\" apply \"$wdir\\map{}.reg\" --force" \
       "reg export \"$layout\" \"$wdir\\before{}.reg\" /y" "reg import \"$wdir\\bare{}.reg\""
  pair lvmap_show_ms "\"$wbin\\lvmap.exe\" show" "reg query \"$layout\" /v \"Scancode Map\""
  pair lvmap_show_bare_ms "\"$wbin\\lvmap.exe\" show" "\"$wbin\\bare_show.exe\""
  wineserver -w
  {
    echo "start_to_window_ms $(figure start_to_window_ms "$work/ours-start.txt.part")" \
         "$(figure start_to_window_ms "$work/bare-start.txt.part")"
    for f in edit_dialog_open_ms apply_us load_system_map_us load_names_us; do
      echo "$f $(figure $f "$work/ours.txt.part") $(figure $f "$work/ours.txt.part" 3)" \
           "$(figure $f "$work/ours.txt.part" 4)"
    done
    cat "$work/pairs.txt"
    echo "working_set_kb $(figure working_set_kb "$work/ours-ws.txt.part")" \
         "$(figure working_set_kb "$work/bare-ws.txt.part")"
  } | awk 'NF == 3 && $3 > 0 { $4 = $2 / $3 } { print }' >> "$work/figures.txt"
  for f in $history_parts; do
    echo "$f $(figure $f "$work/history.txt.part")" >> "$work/history.txt"
  done
}

on_wine "$bin/first_window.exe" "$bin/Lutrovane.exe" >/dev/null  # Wine loads its own DLLs once
wineserver -w
r=0
while [ $r -lt "$repeat" ]; do
  measure
  r=$((r + 1))
done

shipped=0
for f in $(cat "$build/package/shipped-files.txt"); do
  shipped=$((shipped + $(stat -c %s "$bin/$f")))
done

# The machine on stderr, the table alone on stdout.
echo "the $lutrovane_arch build; $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1)," \
     "$(nproc) cores; $(on_wine --version); Xvfb; $repeat x (medians of $starts starts," \
     "$sets working sets, $sets x $rounds registry rounds and $sets x $dialogs dialog openings" \
     "by turns, $processes process pairs by turns)" >&2
printf '%-20s %9s %9s  %5s  %6s %7s\n' figure lutrovane baseline ratio lowest highest
missing=""
for row in start_to_window_ms:.1f edit_dialog_open_ms:.2f apply_us:.1f \
           load_system_map_us:.1f load_names_us:.1f lvmap_apply_ms:.1f lvmap_apply_export_ms:.1f \
           lvmap_show_ms:.1f lvmap_show_bare_ms:.1f working_set_kb:.0f; do
  name=${row%:*}
  ours=$(figure "$name" "$work/figures.txt")
  bare=$(figure "$name" "$work/figures.txt" 3)
  ratios=$(awk -v name="$name" '$1 == name && NF == 4 { print $4 }' "$work/figures.txt" | sort -n)
  if [ -z "$ours" ] || [ -z "$bare" ] || [ -z "$ratios" ]; then
    missing="$missing $name"
    continue
  fi
  awk -v name="$name" -v a="$ours" -v b="$bare" -v fmt="${row#*:}" \
      -v r="$(echo "$ratios" | median)" -v lo="$(echo "$ratios" | head -1)" \
      -v hi="$(echo "$ratios" | tail -1)" 'BEGIN {
    printf "%-20s %9" fmt " %9" fmt "  %5.2f  %6.2f %7.2f\n", name, a, b, r, lo, hi }'
done
printf '%-20s %9s %9s  %5s\n' shipped_bytes "$shipped" - -
# Apply's change through the history, part by part (the timed build's own).
for name in $history_parts; do
  part=$(figure "$name" "$work/history.txt")
  [ -n "$part" ] || missing="$missing $name"
  printf '%-21s %9.1f\n' "$name" "${part:-0}"
done
if [ -n "$missing" ]; then
  echo "bench: no figure for$missing" >&2
  exit 1
fi
