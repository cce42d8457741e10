#!/usr/bin/env bash
# Full-screen capture to a PNG file by Vantoru (under Wine) and by scrot, maim and
# ImageMagick's import, side by side on one virtual display that shows the encoder
# benchmark's desktop picture. For each size the tools take turns, round after round, so
# that other work on the machine weighs on all of them alike; prints each tool's median
# time and the size of its file.
#   scripts/compare-capture.sh [ROUNDS] [SIZE...]     defaults: 15 1920x1080 3840x2160
# Vantoru's time runs from the WM_COPYDATA "capture" send to its reply (the program is
# resident); the others' is the whole process. Then captureroad times the program's own
# steps of the same capture one by one. A measurement tool, not a test.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
rounds=${1:-15}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1920x1080 3840x2160)

missing=()
for tool in scrot:scrot maim:maim import:imagemagick display:imagemagick compare:imagemagick; do
  command -v "${tool%%:*}" >/dev/null || missing+=("${tool##*:}")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing ${missing[*]}"
  apt-get update >/dev/null
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $(printf '%s\n' "${missing[@]}" | sort -u) >/dev/null
fi

echo "building vantoru.exe, vantoructl.exe, captureroad.exe"
cmake --preset windows -DVANTORU_TESTS=ON >build-compare.log 2>&1
cmake --build --preset windows --target vantoru vantoructl captureroad >>build-compare.log 2>&1 ||
  { tail -n 40 build-compare.log; exit 1; }

. "$top/scripts/winenv.sh"
out="$top/build/compare"
rm -rf "$out"
mkdir -p "$out"
vantoru_pid=
stop() {
  if [ -n "$vantoru_pid" ]; then
    "$VANTORU_WINE" "$top/build/windows/vantoructl.exe" quit </dev/null >/dev/null 2>&1 || true
    wait "$vantoru_pid" 2>/dev/null || true
    vantoru_pid=
  fi
  vantoru_env_stop
}
trap stop EXIT
bin="$top/build/windows"
win() { "$VANTORU_WINE" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
now_us() { echo $(($(date +%s%N) / 1000)); }  # microseconds; the medians are printed in ms
median() { sort -n | awk '{v[NR] = $1} END {printf "%.0f", v[int((NR + 1) / 2)] / 1000}'; }
kb() { awk -v b="$(stat -c %s "$1")" 'BEGIN {printf(b >= 1048576 ? "%.2f MB" : "%.0f KB", b >= 1048576 ? b / 1048576 : b / 1024)}'; }

table=()
for size in "${sizes[@]}"; do
  w=${size%x*} h=${size#*x}
  export VANTORU_SCREEN="${w}x${h}x24"
  vantoru_env_start "$top/build/wine-compare"
  dir="$out/$size"
  mkdir -p "$dir/vantoru"
  # The desktop: the benchmark's picture as the root window's background.
  win "$bin/captureroad.exe" picture "$w" "$h" "Z:${dir//\//\\}\\desktop.png" >/dev/null
  display -window root "$dir/desktop.png" 2>/dev/null || true  # sets the background, then reports 1

  key='HKCU\Software\Dorvenix\Vantoru'
  win reg add "$key" /v path /t REG_SZ /d "Z:${dir//\//\\}\\vantoru" /f >/dev/null
  for v in area:0 saveto:0 mouse:1 sound:1 append:1; do
    win reg add "$key" /v "${v%%:*}" /t REG_DWORD /d "${v##*:}" /f >/dev/null
  done
  # Started hidden in the notification area, so every tool sees the same desktop.
  "$VANTORU_WINE" "$bin/vantoru.exe" /start </dev/null >/dev/null 2>&1 &
  vantoru_pid=$!
  win "$bin/vantoructl.exe" wait >/dev/null
  win "$bin/vantoructl.exe" time 2 >/dev/null  # first captures warm up

  echo "== $size, $rounds rounds, load $(cut -d' ' -f1-3 /proc/loadavg)"
  : >"$dir/vantoru.ms"; : >"$dir/scrot.ms"; : >"$dir/maim.ms"; : >"$dir/import.ms"
  for i in $(seq 1 "$rounds"); do
    win "$bin/vantoructl.exe" time 1 | awk '/^capture 1:/ {printf "%d\n", $3 * 1000}' >>"$dir/vantoru.ms"
    t0=$(now_us); scrot -o "$dir/scrot.png"; t1=$(now_us); echo $((t1 - t0)) >>"$dir/scrot.ms"
    t0=$(now_us); maim "$dir/maim.png"; t1=$(now_us); echo $((t1 - t0)) >>"$dir/maim.ms"
    t0=$(now_us); import -window root "$dir/import.png"; t1=$(now_us); echo $((t1 - t0)) >>"$dir/import.ms"
  done
  echo "   load after: $(cut -d' ' -f1-3 /proc/loadavg)"
  win "$bin/vantoructl.exe" quit >/dev/null
  wait "$vantoru_pid" || true
  vantoru_pid=
  # The program's own steps on the same screen, one by one.
  win "$bin/captureroad.exe" road "$rounds" | tee "$dir/road.txt"
  vantoru_env_stop
  cp "$(ls -t "$dir"/vantoru/V-*.png | head -n 1)" "$dir/vantoru.png"

  for tool in vantoru scrot maim import; do
    # Every file must show the desktop picture; only the mouse pointer may differ.
    differ=$(compare -metric AE "$dir/desktop.png" "$dir/$tool.png" null: 2>&1 || true)
    table+=("$(printf '%-8s %-10s %6s ms  %10s  (%s pixels differ from the desktop)' "$tool" "$size" \
      "$(median <"$dir/$tool.ms")" "$(kb "$dir/$tool.png")" "$differ")")
  done
done

echo
echo "Median of $rounds rounds; files in $out"
printf '%s\n' "${table[@]}"
