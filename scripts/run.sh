#!/usr/bin/env bash
# Vantoru's main job, from nothing: installs what is missing, builds the program, starts it
# under Wine (on a virtual display when there is none), takes one capture the way another
# program does, prints where the picture went, and quits it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/scripts/setup.sh"
cmake --preset windows -DVANTORU_TESTS=ON >build-run.log 2>&1
cmake --build --preset windows --target vantoru vantoructl -j "$(nproc)" >>build-run.log 2>&1 || { tail -n 40 build-run.log; exit 1; }

. "$top/scripts/winenv.sh"
trap vantoru_env_stop EXIT
vantoru_env_start "$top/build/wine-run"
bin="$top/build/windows"
"$VANTORU_WINE" "$bin/vantoru.exe" </dev/null >/dev/null 2>&1 &
vantoru_pid=$!
"$VANTORU_WINE" "$bin/vantoructl.exe" wait </dev/null
echo "Vantoru is running (display $DISPLAY). Capturing the screen:"
"$VANTORU_WINE" "$bin/vantoructl.exe" capture </dev/null
"$VANTORU_WINE" "$bin/vantoructl.exe" quit </dev/null
wait "$vantoru_pid"
echo "Vantoru has quit."
