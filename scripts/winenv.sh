# Sourced by the run and test scripts: a virtual display and a Wine prefix of our own.
#   vantoru_env_start <folder>   starts Xvfb on a free display, prepares <folder>/prefix
#   vantoru_env_stop             stops Wine and the display again
# Exports DISPLAY, WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES, VANTORU_WINE.

VANTORU_WINE=/usr/lib/wine/wine64
VANTORU_WINESERVER=/usr/lib/wine/wineserver
export VANTORU_WINE VANTORU_WINESERVER

vantoru_env_start() {
  local dir=$1 n
  mkdir -p "$dir"
  # A display number nobody uses, so several runs can live side by side.
  for n in $(seq 90 199); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then break; fi
  done
  Xvfb ":$n" -screen 0 "${VANTORU_SCREEN:-1280x800x24}" -nolisten tcp -dpi 96 >"$dir/xvfb.log" 2>&1 &
  VANTORU_XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 1 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
  done
  export WINEPREFIX="$dir/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
  if [ ! -f "$WINEPREFIX/.vantoru-ready" ]; then
    rm -rf "$WINEPREFIX"
    "$VANTORU_WINE" wineboot -i </dev/null >"$dir/wineboot.log" 2>&1
    "$VANTORU_WINESERVER" -w
    # A crash ends the program instead of waiting in a dialog; no audio device noise.
    "$VANTORU_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
    "$VANTORU_WINE" reg add 'HKCU\Software\Wine\Drivers' /v Audio /t REG_SZ /d "" /f </dev/null >/dev/null 2>&1
    # There is no window manager: unmanaged windows spare the second Wine waits on every hide.
    "$VANTORU_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
    "$VANTORU_WINESERVER" -w
    touch "$WINEPREFIX/.vantoru-ready"
  fi
  # A persistent server, so Wine's helper processes do not come and go between programs;
  # its standard streams must not hold the caller's pipes open.
  "$VANTORU_WINESERVER" -p </dev/null >/dev/null 2>&1
  "$VANTORU_WINE" cmd /c exit </dev/null >/dev/null 2>&1
}

vantoru_env_stop() {
  if [ -n "${WINEPREFIX:-}" ]; then "$VANTORU_WINESERVER" -k >/dev/null 2>&1 || true; fi
  if [ -n "${VANTORU_XVFB_PID:-}" ]; then
    kill "$VANTORU_XVFB_PID" 2>/dev/null || true
    wait "$VANTORU_XVFB_PID" 2>/dev/null || true
    VANTORU_XVFB_PID=
  fi
}
