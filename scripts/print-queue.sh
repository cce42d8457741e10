#!/usr/bin/env bash
# A PDF print queue for the printing tests, and its removal again.
#   print-queue.sh start <folder>   starts CUPS (unless it runs), adds the queue VantoruPDF
#                                   writing into <folder> and makes it the default; every job
#                                   also becomes <job>.png (100 dpi) beside its PDF
#   print-queue.sh stop <folder>    undoes all of it
# Prints the queue's name on success of start. Needs root, cups and printer-driver-cups-pdf.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
what=${1:-}
dir=${2:-}
[ -n "$what" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop <folder>" >&2; exit 2; }
queue=VantoruPDF
conf=/etc/cups/cups-pdf.conf
state="$dir/.queue"

start() {
  if [ "$(id -u)" -ne 0 ] || ! command -v cupsd >/dev/null || [ ! -x /usr/lib/cups/backend/cups-pdf ] || [ ! -f "$conf" ]; then
    echo "print-queue: needs root, cups and printer-driver-cups-pdf" >&2
    return 1
  fi
  mkdir -p "$state" "$dir/out"
  chmod 1777 "$dir/out"
  [ -f "$state/cups-pdf.conf" ] || cp -p "$conf" "$state/cups-pdf.conf"
  # The output folder and the conversion of each job; everything else as it was.
  grep -v -E '^(Out|PostProcessing) ' "$state/cups-pdf.conf" >"$conf"
  printf 'Out %s\nPostProcessing %s\n' "$dir/out" "$here/print-to-png.sh" >>"$conf"
  if ! pgrep -x cupsd >/dev/null; then
    mkdir -p /run/cups
    setsid cupsd -f </dev/null >/dev/null 2>&1 &
    echo $! >"$state/cupsd.pid"
  fi
  for _ in $(seq 1 50); do lpstat -r >/dev/null 2>&1 && break; sleep 0.1; done
  lpstat -d 2>/dev/null | sed -n 's/^system default destination: //p' >"$state/default"
  lpadmin -p "$queue" -E -v cups-pdf:/ -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd || { stop; return 1; }
  lpadmin -d "$queue"
  echo "$queue"
}

stop() {
  [ -d "$state" ] || return 0
  lpadmin -x "$queue" 2>/dev/null
  if [ -s "$state/default" ]; then lpadmin -d "$(cat "$state/default")" 2>/dev/null; fi
  [ -f "$state/cups-pdf.conf" ] && cp -p "$state/cups-pdf.conf" "$conf"
  if [ -f "$state/cupsd.pid" ]; then
    kill "$(cat "$state/cupsd.pid")" 2>/dev/null
    for _ in $(seq 1 50); do kill -0 "$(cat "$state/cupsd.pid")" 2>/dev/null || break; sleep 0.1; done
  fi
  rm -rf "$state"
}

case "$what" in
  start) start ;;
  stop) stop ;;
  *) echo "usage: $0 start|stop <folder>" >&2; exit 2 ;;
esac
