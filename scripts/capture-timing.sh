#!/usr/bin/env bash
# Under Wine: the time from a WM_COPYDATA "capture" to its reply for a full-screen PNG of
# the whole virtual screen (VANTORU_SCREEN, default 1920x1080x24), N times (default 10).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
n=${1:-10}
cmake --preset windows -DVANTORU_TESTS=ON >build-timing.log 2>&1
cmake --build --preset windows --target vantoru vantoructl >>build-timing.log 2>&1 || { tail -n 40 build-timing.log; exit 1; }

export VANTORU_SCREEN=${VANTORU_SCREEN:-1920x1080x24}
. "$top/scripts/winenv.sh"
save="$top/build/timing-save"
rm -rf "$save"; mkdir -p "$save"
trap 'vantoru_env_stop' EXIT
vantoru_env_start "$top/build/wine-timing"
key='HKCU\Software\Dorvenix\Vantoru'
"$VANTORU_WINE" reg add "$key" /v path /t REG_SZ /d "Z:${save//\//\\}" /f </dev/null >/dev/null 2>&1
for v in area:0 saveto:0 mouse:1 sound:1 append:1; do
  "$VANTORU_WINE" reg add "$key" /v "${v%%:*}" /t REG_DWORD /d "${v##*:}" /f </dev/null >/dev/null 2>&1
done
bin="$top/build/windows"
"$VANTORU_WINE" "$bin/vantoru.exe" </dev/null >/dev/null 2>&1 &
vantoru_pid=$!
"$VANTORU_WINE" "$bin/vantoructl.exe" wait </dev/null
sleep 1
echo "Full-screen PNG captures of ${VANTORU_SCREEN%x*} (display $DISPLAY):"
"$VANTORU_WINE" "$bin/vantoructl.exe" time "$n" </dev/null | tr -d '\r'
"$VANTORU_WINE" "$bin/vantoructl.exe" quit </dev/null
wait "$vantoru_pid"
ls "$save" | head -n 3
echo "($(ls "$save" | wc -l) files in $save)"
