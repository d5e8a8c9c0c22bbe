#!/bin/sh
# Tries the README's two commands as a new user would, on a minimal Debian 12
# with nothing installed: tools/test.sh as root, from a clean clone of the
# committed HEAD, then tools/run.sh on a private X server until the wizard's
# window is up. Not part of the test command: run it whenever an install step
# or a script changes, as the machines CI runs on have more than a new user's.
# Usage: tools/fresh-machine.sh [FUZZ-SECONDS]   (as root; needs the network)
# The root is bootstrapped once (debootstrap --variant=minbase, from this
# machine's Debian mirror) into $LUTROVANE_FRESH_CACHE (/var/tmp/lutrovane-fresh);
# each run works in a copy of it, removed afterwards unless
# LUTROVANE_FRESH_KEEP=1.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/remove-tree.sh"
fuzz=${1:-}
case "$fuzz" in
  *[!0-9]*) echo "usage: $0 [FUZZ-SECONDS]" >&2; exit 2 ;;
esac
if [ "$(id -u)" -ne 0 ]; then
  echo "fresh-machine: debootstrap, chroot and mount need root" >&2
  exit 1
fi
cache=${LUTROVANE_FRESH_CACHE:-/var/tmp/lutrovane-fresh}
base=$cache/bookworm-minbase

# This machine's Debian mirror: the first source of the suite bookworm, in
# either form apt reads (one-line "deb URI SUITE ..." or deb822 stanzas).
mirror() {
  set --
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && set -- "$@" "$f"
  done
  [ $# -gt 0 ] || return 0
  awk '
    function stanza_end() { if (!uri_found && suite && uris != "") uri_found = uris; uris = ""; suite = 0 }
    FNR == 1 { stanza_end() }
    /^deb[ \t]/ { sub(/\[[^]]*\][ \t]*/, ""); if ($3 == "bookworm" && !uri_found) uri_found = $2 }
    /^URIs:/ { uris = $2 }
    /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == "bookworm") suite = 1 }
    /^[ \t]*$/ { stanza_end() }
    END { stanza_end(); print uri_found }' "$@"
}

if ! command -v debootstrap >/dev/null; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap
fi
if [ ! -f "$base/.complete" ]; then
  url=$(mirror)
  url=${url:-http://deb.debian.org/debian}
  echo "fresh-machine: bootstrapping a minimal Debian 12 from $url into $base (once)"
  rm -rf "$base"
  mkdir -p "$cache"
  debootstrap --variant=minbase bookworm "$base" "$url"
  touch "$base/.complete"
fi

run=$cache/run-$$
mounted=""
cleanup() {
  status=$?
  set +e
  # A second signal must not cut the unmounting short.
  trap '' INT TERM
  # Whatever still runs inside (Wine's server, Xvfb) holds the mounts.
  for p in /proc/[0-9]*; do
    case "$(readlink "$p/root" 2>/dev/null)" in
      "$run"|"$run"/*) kill -9 "${p#/proc/}" 2>/dev/null ;;
    esac
  done
  # Also the mount being made when the signal came: each is recorded first.
  for m in $mounted; do
    umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null
  done
  if [ -n "${LUTROVANE_FRESH_KEEP:-}" ]; then
    echo "fresh-machine: the root is kept in $run"
  elif ! remove_tree "$run"; then
    [ "$status" -ne 0 ] || status=1
  fi
  [ "$status" -eq 0 ] && echo "fresh-machine: passed" || echo "fresh-machine: FAILED" >&2
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "fresh-machine: a fresh copy in $run"
cp -a "$base" "$run"
rm -f "$run/.complete"
cp -L /etc/resolv.conf "$run/etc/resolv.conf"
head=$(git -C "$root" rev-parse HEAD)
[ -z "$(git -C "$root" status --porcelain)" ] ||
  echo "fresh-machine: uncommitted changes are not tried, only the committed HEAD $head"
git clone -q --no-hardlinks "$root" "$run/root/lutrovane"
git -C "$run/root/lutrovane" checkout -q --detach "$head"

# Mounted in this order, unmounted in the reverse one. /tmp is this
# machine's: X servers there find the display numbers that are taken (Xvfb's
# abstract sockets are shared with every other root on the machine).
for m in proc sys dev dev/pts dev/shm tmp; do
  mounted="$run/$m $mounted"
  case $m in
    proc) mount -t proc proc "$run/proc" ;;
    sys) mount -t sysfs sysfs "$run/sys" ;;
    *) mount --bind "/$m" "$run/$m" ;;
  esac
done

# As root with nothing but a path: no locale, no display, no home settings.
inside() {
  env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    chroot "$run" /bin/sh -c "$1"
}

echo "fresh-machine: the test command, tools/test.sh ${fuzz}"
inside "cd /root/lutrovane && tools/test.sh ${fuzz}"

# The run command on a private X server, until the wizard's window is
# visible (xdotool finds it by its title).
cat > "$run/root/run-check.sh" <<'EOF'
#!/bin/sh
set -eu
cd /root/lutrovane
tools/run.sh >/root/run.log 2>&1 &
pid=$!
waited=0
until title=$(xdotool search --onlyvisible --name '^Lutrovane v' getwindowname 2>/dev/null); do
  if ! kill -0 "$pid" 2>/dev/null || [ "$waited" -ge 600 ]; then
    cat /root/run.log
    echo "fresh-machine: no wizard window after ${waited} s" >&2
    exit 1
  fi
  sleep 1
  waited=$((waited + 1))
done
echo "fresh-machine: tools/run.sh shows the wizard, \"$title\", after ${waited} s"
kill "$pid"
for prefix in build/*/wineprefix-run; do
  WINEPREFIX=$PWD/$prefix wineserver -k 2>/dev/null || true
done
EOF
echo "fresh-machine: the run command, tools/run.sh"
inside "DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends xdotool >/dev/null &&
        xvfb-run -a -s '-screen 0 1280x1024x24' sh /root/run-check.sh"
