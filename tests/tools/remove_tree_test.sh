#!/bin/sh
# The fresh-machine run's clean-up must not remove a tree while something is
# still mounted in it: rm -rf would go through the bind mount into the folder
# mounted there (on a real run, the host's /dev or /tmp). A scratch tree with
# a bind mount of a folder holding a sentinel: the removal refuses, the
# sentinel survives; unmounted, the tree goes.
set -u
. "$1/tools/remove-tree.sh"
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: a bind mount needs root"
  exit 77
fi
scratch=$(mktemp -d /tmp/remove-tree-test.XXXXXX)
mkdir "$scratch/host" "$scratch/tree" "$scratch/tree/dev"
touch "$scratch/host/sentinel"
if ! mount --bind "$scratch/host" "$scratch/tree/dev"; then
  rm -rf "$scratch"
  echo "skipped: this machine refuses bind mounts"
  exit 77
fi
failed=0
if remove_tree "$scratch/tree" 2>/dev/null; then
  echo "FAILED: a tree with a mount in it was removed"; failed=1
fi
[ -f "$scratch/host/sentinel" ] || { echo "FAILED: the mounted folder's sentinel is gone"; failed=1; }
[ -d "$scratch/tree" ] || { echo "FAILED: the tree went while a mount was in it"; failed=1; }
umount "$scratch/tree/dev"
remove_tree "$scratch/tree" || { echo "FAILED: the unmounted tree was refused"; failed=1; }
[ ! -e "$scratch/tree" ] || { echo "FAILED: the unmounted tree is still there"; failed=1; }
[ -f "$scratch/host/sentinel" ] || { echo "FAILED: the sentinel went with the tree"; failed=1; }
rm -rf "$scratch"
[ "$failed" -eq 0 ] && echo "remove_tree: refuses a tree with a mount in it, removes it once unmounted"
exit "$failed"
