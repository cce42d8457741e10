#!/usr/bin/env bash
# A small file system of its own for the full-disk test: a 4 MiB tmpfs.
#   small-disk.sh start <folder>   mounts it on <folder> and prints <folder>; fails without the rights
#   small-disk.sh stop <folder>    unmounts it again
set -u
cmd=${1:-}; dir=${2:-}
[ -n "$dir" ] || { echo "usage: $0 start|stop <folder>" >&2; exit 2; }
case "$cmd" in
  start)
    mkdir -p "$dir" || exit 1
    mountpoint -q "$dir" && umount "$dir" 2>/dev/null
    mount -t tmpfs -o size=4m,mode=1777 vantoru-small-disk "$dir" 2>/dev/null || exit 1
    echo "$dir"
    ;;
  stop)
    if mountpoint -q "$dir" 2>/dev/null; then umount "$dir" 2>/dev/null || umount -l "$dir"; fi
    rmdir "$dir" 2>/dev/null || true
    ;;
  *) echo "usage: $0 start|stop <folder>" >&2; exit 2 ;;
esac
