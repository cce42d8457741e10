#!/usr/bin/env bash
# A vantoru-server on loopback for the end-to-end tests, and its stop.
#   service.sh start <folder>   starts build/host/server/vantoru-server on a free port of
#                               127.0.0.1 with a fresh data folder <folder>/data, waits until
#                               it answers, and prints its address (http://127.0.0.1:PORT)
#                               and, on a second line, the address of a TLS front for it
#                               (stunnel, https://localhost:PORT) with a self-signed
#                               certificate; no second line without stunnel
#   service.sh stop <folder>    stops both again
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
what=${1:-}
dir=${2:-}
[ -n "$what" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop <folder>" >&2; exit 2; }
server=${VANTORU_SERVER_BIN:-$top/build/host/server/vantoru-server}

stop_pid() {
  if [ -f "$1" ]; then
    pid=$(cat "$1")
    kill "$pid" 2>/dev/null
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
    rm -f "$1"
  fi
}

stop() {
  stop_pid "$dir/tls.pid"
  stop_pid "$dir/server.pid"
  return 0
}

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# A TLS front as a reverse proxy would be, with a certificate of its own for this host.
start_tls() {
  local backend=$1 port
  command -v stunnel4 >/dev/null && command -v openssl >/dev/null || return 0
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj /CN=localhost \
    -addext "subjectAltName=DNS:localhost" -keyout "$dir/tls.key" -out "$dir/tls.pem" >/dev/null 2>&1 || return 0
  port=$(free_port)
  cat >"$dir/stunnel.conf" <<CONF
foreground = yes
pid =
[vantoru]
accept = 127.0.0.1:$port
connect = 127.0.0.1:$backend
cert = $dir/tls.pem
key = $dir/tls.key
CONF
  setsid stunnel4 "$dir/stunnel.conf" </dev/null >"$dir/stunnel.log" 2>&1 &
  echo $! >"$dir/tls.pid"
  for _ in $(seq 1 50); do
    if python3 -c "import socket,sys; socket.create_connection(('127.0.0.1', $port), 1)" 2>/dev/null; then
      echo "https://localhost:$port"
      return 0
    fi
    sleep 0.1
  done
  stop_pid "$dir/tls.pid"
}

start() {
  [ -x "$server" ] || { echo "service: $server is not built" >&2; return 1; }
  stop
  mkdir -p "$dir"
  rm -rf "$dir/data"
  # A port nobody holds now; should another take it first, the next try takes another.
  for _ in 1 2 3; do
    port=$(free_port)
    address="http://127.0.0.1:$port"
    # ASan's leak check has nothing to say about a server that is killed.
    ASAN_OPTIONS=detect_leaks=0 setsid "$server" --listen "127.0.0.1:$port" --data "$dir/data" --public-url "$address" \
      </dev/null >"$dir/server.log" 2>&1 &
    echo $! >"$dir/server.pid"
    for _ in $(seq 1 100); do
      if ! kill -0 "$(cat "$dir/server.pid")" 2>/dev/null; then break; fi
      if grep -q "listening on" "$dir/server.log"; then
        echo "$address"
        start_tls "$port"
        return 0
      fi
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
