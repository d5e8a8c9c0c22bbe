# Sourced: remove_tree DIR removes a tree that mounts were made in, but only
# once nothing is mounted at or below it any more. rm -rf goes through a bind
# mount into what is mounted there (--one-file-system does not stop it when
# the bind mount is of the same file system): a /dev or /tmp left mounted in a
# chroot would be the host's own.
remove_tree() {
  case "$1" in
    /*) ;;
    *) echo "remove_tree: $1 is not a full path; nothing removed" >&2; return 1 ;;
  esac
  case "$1" in
    *[!A-Za-z0-9/._-]*)
      # findmnt escapes such characters; the trees made here have none.
      echo "remove_tree: $1 has characters findmnt escapes; nothing removed" >&2; return 1 ;;
  esac
  still=$(findmnt -rn -o TARGET | awk -v dir="${1%/}" \
    '$0 == dir || substr($0, 1, length(dir) + 1) == dir "/"')
  if [ -n "$still" ]; then
    echo "remove_tree: still mounted under $1, so nothing was removed:" >&2
    echo "$still" >&2
    echo "remove_tree: unmount these (umount -l), then remove $1 by hand" >&2
    return 1
  fi
  rm -rf --one-file-system "$1"
}
