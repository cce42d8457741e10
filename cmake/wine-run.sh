#!/bin/sh
# Runs a Windows test program under Wine, in the display and prefix that scripts/test.sh
# prepared. Wine's background processes are started first with their streams detached, or
# they would hold ctest's pipes open and every test would wait for them.
if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
  echo "wine-run.sh: run the Windows tests through scripts/test.sh (no Wine prefix or display set)" >&2
  exit 1
fi
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
/usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1
exec /usr/lib/wine/wine64 "$@"
