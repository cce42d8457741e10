#!/usr/bin/env bash
# Every test: the core under the sanitizers (host), then the Windows programs under Wine on a
# virtual display of their own. Exits non-zero when anything fails.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/scripts/setup.sh" || exit 1

failed=0
report=()  # build folders whose failing tests' words are repeated at the end
jobs=$(nproc)

echo "== translation table"
python3 scripts/check-translate.py res/translate.txt || failed=1

echo "== host: configure and build"
if cmake --preset host -DVANTORU_TESTS=ON >build-host.log 2>&1 && cmake --build --preset host -j "$jobs" >>build-host.log 2>&1; then
  echo "== host: tests"
  ctest --preset host -j "$jobs" || failed=1
  report+=(build/host)
else
  tail -n 60 build-host.log; failed=1
fi

echo "== host: fuzzers, briefly over their corpus"
"$top/scripts/fuzz.sh" "${VANTORU_FUZZ_SECONDS:-10}" || failed=1

echo "== windows: configure and build"
if cmake --preset windows -DVANTORU_TESTS=ON >build-windows.log 2>&1 && cmake --build --preset windows -j "$jobs" >>build-windows.log 2>&1; then
  echo "== windows: the release (installer, portable zip), which the release test installs"
  VANTORU_SKIP_SETUP=1 "$top/scripts/package.sh" || failed=1
  . "$top/scripts/winenv.sh"
  # A PDF print queue for the printing test; without one that test is skipped.
  print_dir="$top/build/print"
  # A small file system for the full-disk test; without one (no rights to mount) it is skipped.
  disk_dir="$top/build/small-disk"
  service_dir="$top/build/service"
  trap 'vantoru_env_stop; "$top/scripts/print-queue.sh" stop "$print_dir"; "$top/scripts/small-disk.sh" stop "$disk_dir"; "$top/scripts/service.sh" stop "$service_dir"' EXIT
  if queue=$("$top/scripts/print-queue.sh" start "$print_dir"); then
    export VANTORU_PRINTER="$queue" VANTORU_PRINT_OUT="$print_dir/out"
  fi
  if "$top/scripts/small-disk.sh" start "$disk_dir" >/dev/null; then
    export VANTORU_SMALL_DISK="Z:$(echo "$disk_dir" | tr / '\\')"
  fi
  # The real service (built by the host preset) for the tests that upload to it.
  if service=$("$top/scripts/service.sh" start "$service_dir"); then
    export VANTORU_TEST_SERVER="${service%%$'\n'*}" VANTORU_TEST_SERVER_DATA="$service_dir/data"
    # Its TLS front, with a certificate the program must refuse.
    if [ "$service" != "$VANTORU_TEST_SERVER" ]; then export VANTORU_TEST_SERVER_TLS="${service#*$'\n'}"; fi
  else
    failed=1
  fi
  vantoru_env_start "$top/build/wine"
  echo "== windows: tests under Wine (display $DISPLAY)"
  # Under Wine, with no window manager, a synthesized key or a child's console now and then
  # goes astray: a test that fails runs once more, and the report below names it either way.
  ctest --preset windows -j 2 --repeat until-pass:2 ${VANTORU_CTEST_ARGS:-} || failed=1
  report+=(build/windows)
  vantoru_env_stop
  "$top/scripts/print-queue.sh" stop "$print_dir"
  "$top/scripts/small-disk.sh" stop "$disk_dir"
  "$top/scripts/service.sh" stop "$service_dir"
  trap - EXIT
else
  tail -n 60 build-windows.log; failed=1
fi

for b in "${report[@]}"; do
  said=$(python3 scripts/failed-tests.py "$b")
  if [ -n "$said" ]; then printf '== what the failing tests of %s said\n%s\n' "$b" "$said"; fi
done
if [ "$failed" -ne 0 ]; then echo "== FAILED"; exit 1; fi
echo "== all tests passed"
