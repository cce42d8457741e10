#!/usr/bin/env bash
# Runs a Windows test program under Wine, in the display and prefix that scripts/test.sh
# prepared. Wine's background processes are started first with their streams detached, or
# they would hold ctest's pipes open and every test would wait for them.
if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
  echo "wine-run.sh: run the Windows tests through scripts/test.sh (no Wine prefix or display set)" >&2
  exit 1
fi
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
/usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1
out=$(mktemp)
trap 'rm -f "$out"' EXIT
# The output goes on as it comes (a test stopped for its time still shows what it printed),
# and a copy tells whether anything came.
run() {
  /usr/lib/wine/wine64 "$@" | tee "$out"
  rc=${PIPESTATUS[0]}
}
run "$@"
# A test program writes before its first test. A failure with nothing written means it never
# got going: under load Wine now and then fails to start a process. Such a start is tried once
# more, and says so.
if [ "$rc" -ne 0 ] && [ ! -s "$out" ]; then
  echo "wine-run.sh: $1 ended with code $rc before writing anything; started again" >&2
  run "$@"
fi
exit "$rc"
