#!/usr/bin/env bash
# A vantoru-server on loopback for the end-to-end tests, and its stop.
#   service.sh start <folder>   starts build/host/server/vantoru-server on a free port of
#                               127.0.0.1 with a fresh data folder <folder>/data, waits until
#                               it answers, and prints its address (http://127.0.0.1:PORT)
#   service.sh stop <folder>    stops it again
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
what=${1:-}
dir=${2:-}
[ -n "$what" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop <folder>" >&2; exit 2; }
server=${VANTORU_SERVER_BIN:-$top/build/host/server/vantoru-server}

stop() {
  if [ -f "$dir/server.pid" ]; then
    pid=$(cat "$dir/server.pid")
    kill "$pid" 2>/dev/null
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
    rm -f "$dir/server.pid"
  fi
  return 0
}

start() {
  [ -x "$server" ] || { echo "service: $server is not built" >&2; return 1; }
  stop
  mkdir -p "$dir"
  rm -rf "$dir/data"
  # A port nobody holds now; should another take it first, the next try takes another.
  for _ in 1 2 3; do
    port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    address="http://127.0.0.1:$port"
    # ASan's leak check has nothing to say about a server that is killed.
    ASAN_OPTIONS=detect_leaks=0 setsid "$server" --listen "127.0.0.1:$port" --data "$dir/data" --public-url "$address" \
      </dev/null >"$dir/server.log" 2>&1 &
    echo $! >"$dir/server.pid"
    for _ in $(seq 1 100); do
      if ! kill -0 "$(cat "$dir/server.pid")" 2>/dev/null; then break; fi
      if grep -q "listening on" "$dir/server.log"; then echo "$address"; return 0; fi
      sleep 0.1
    done
    stop
  done
  echo "service: vantoru-server did not start:" >&2
  cat "$dir/server.log" >&2
  return 1
}

case "$what" in
  start) start ;;
  stop) stop ;;
  *) echo "usage: $0 start|stop <folder>" >&2; exit 2 ;;
esac
