#!/usr/bin/env bash
# The release as a Windows user meets it, under Wine, in a fresh prefix and on a display of
# its own: a silent install, the installed program captures, an upgrade over the running
# program keeps a changed setting, the Start menu shortcut starts it, a silent uninstall
# leaves nothing of the program but the captures, the portable zip runs from another
# folder, and an install while Vantoru records is refused without harm. Usage: release-test.sh <source folder> <windows build folder>; the release is
# build/dist/ of the source folder (scripts/package.sh).
set -euo pipefail
src=$1
bin=$2
version4=$(cat "$bin/generated/version.txt")
version=${version4%.*}
dist=$src/build/dist
setup=$dist/vantoru-$version-setup.exe
zip=$dist/vantoru-$version-portable.zip
for f in "$setup" "$zip"; do
  [ -f "$f" ] || { echo "FAIL: $f is missing: run scripts/package.sh"; exit 1; }
done
files=(vantoru.exe vantoructl.exe libwebp.dll ffmpeg.exe ffmpeg-sources.txt README.txt LICENSE.txt THIRD-PARTY-NOTICES.txt)

work=$bin/release-test
rm -rf "$work"
mkdir -p "$work"
. "$src/scripts/winenv.sh"
trap vantoru_env_stop EXIT
vantoru_env_start "$work"

failed=0
fail() { echo "FAIL: $*"; failed=1; }
ok() { echo "ok: $*"; }
# check DESCRIPTION COMMAND...: one assertion; the test goes on after a failure where it can.
check() { local what=$1; shift; if "$@"; then ok "$what"; else fail "$what"; fi; }
# wait_for SECONDS COMMAND...: until the command succeeds.
wait_for() {
  local end=$((SECONDS + $1)); shift
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.2
  done
}
w() { "$VANTORU_WINE" "$@" </dev/null 2>>"$work/wine.log" | tr -d '\r'; }
# For what starts programs that stay (they would hold a pipe open).
run() { "$VANTORU_WINE" "$@" </dev/null >>"$work/wine.log" 2>&1; }
unixpath() { w winepath -u "$1"; }
# regval KEY NAME: the value's data as "reg query" shows it (DWORDs as 0x...), or failure.
regval() {
  local out
  out=$(w reg query "$1" /v "$2") || return 1
  printf '%s\n' "$out" | sed -n "s/^    $2    REG_[A-Z_]*    //p" | grep .
}
is_value() { [ "$(regval "$1" "$2")" = "$3" ]; }
no_value() { ! regval "$1" "$2" >/dev/null; }
no_key() { ! w reg query "$1" >/dev/null; }
# The Unix processes of this prefix's programs by name (other test runs may have their own).
prefix_pids() {
  local p
  for p in $(pgrep -f "$1" || true); do
    tr '\0' '\n' 2>/dev/null <"/proc/$p/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" && echo "$p"
  done
  return 0
}
vantoru_pids() { prefix_pids 'vantoru\.exe'; }
none_running() { [ -z "$(vantoru_pids)" ]; }
recording() { [ -n "$(prefix_pids 'ffmpeg\.exe')" ]; }
not_recording() { ! recording; }
gone() { local p; for p in "$@"; do [ ! -e "/proc/$p" ] && continue; return 1; done; }
# capture CTL: one capture through vantoructl; prints the new file's Unix path.
capture() {
  local out
  out=$(w "$1" capture) || return 1
  [[ "$out" == [A-Za-z]:* ]] || { echo "vantoructl capture said: $out" >&2; return 1; }
  unixpath "$out"
}
# decodes FILE: an independent decoder reads a screen-sized picture with more than a few colours.
decodes() {
  local size colours
  size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 "$1") || return 1
  [ "$size" = "${VANTORU_SCREEN_SIZE:-1280,800}" ] || { echo "$1 is $size" >&2; return 1; }
  colours=$(ffmpeg -v error -i "$1" -f rawvideo -pix_fmt rgb24 - |
    python3 -c 'import sys; d=sys.stdin.buffer.read(); print(len({d[i:i+3] for i in range(0, len(d), 3)}))')
  [ "$colours" -gt 4 ] || { echo "$1 has $colours colours" >&2; return 1; }
}

uninst='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantoru'
run='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
keyboard='HKCU\Control Panel\Keyboard'
settings='HKCU\Software\Dorvenix\Vantoru'
local_win=$(w cmd /c echo %LOCALAPPDATA%)
appdata_win=$(w cmd /c echo %APPDATA%)
profile_win=$(w cmd /c echo %USERPROFILE%)
inst_win="$local_win\\Programs\\Vantoru"
inst=$(unixpath "$inst_win")
shortcut=$(unixpath "$appdata_win\\Microsoft\\Windows\\Start Menu\\Programs\\Vantoru.lnk")
# Save folders inside the prefix: Wine links the user's Desktop to the Linux home folder.
first_win="$profile_win\\Captures"
captures_win="$profile_win\\Captures 2"
captures=$(unixpath "$captures_win")
mkdir -p "$(unixpath "$first_win")" "$captures"

# An older version to upgrade from: the release's files with a vantoru.exe of other bytes.
unzip -q "$zip" -d "$work/old"
printf 'older build' >>"$work/old/Vantoru/vantoru.exe"
makensis -V1 -INPUTCHARSET UTF8 -DVERSION=0.9.0 -DVERSION4=0.9.0.0 -DSTAGE="$work/old/Vantoru" \
  -DICON="$src/res/vantoru.ico" -DOUTFILE="$work/vantoru-0.9.0-setup.exe" "$src/package/vantoru.nsi" >"$work/makensis.log"

# The user's PrintScreen key opens the snipping tool before Vantoru comes.
w reg add "$keyboard" /v PrintScreenKeyForSnippingEnabled /t REG_DWORD /d 1 /f >/dev/null
w reg add "$settings" /v path /t REG_SZ /d "$first_win" /f >/dev/null

echo "== silent install of 0.9.0 into a fresh prefix"
check "the installer ends with 0" run "$work/vantoru-0.9.0-setup.exe" /S
check "the installer started Vantoru" w "$inst/vantoructl.exe" wait
for f in "${files[@]}" uninstall.exe; do check "installed: $f" test -f "$inst/$f"; done
check "the Start menu shortcut exists" test -f "$shortcut"
check "Add/Remove Programs: name" is_value "$uninst" DisplayName Vantoru
check "Add/Remove Programs: version" is_value "$uninst" DisplayVersion 0.9.0
check "Add/Remove Programs: publisher" is_value "$uninst" Publisher Dorvenix
check "Add/Remove Programs: icon" is_value "$uninst" DisplayIcon "$inst_win\\vantoru.exe,0"
check "Add/Remove Programs: uninstaller" is_value "$uninst" UninstallString "\"$inst_win\\uninstall.exe\""
check "Add/Remove Programs: silent uninstaller" is_value "$uninst" QuietUninstallString "\"$inst_win\\uninstall.exe\" /S"
size=$(regval "$uninst" EstimatedSize || echo 0)
check "Add/Remove Programs: size $size KB is the files' size" test $((size)) -ge $(($(du -sk "$inst" | cut -f1) * 9 / 10))
check "start with Windows: the program registered itself (/inst)" \
  wait_for 20 is_value "$run" Vantoru "\"$inst_win\\vantoru.exe\" /start"
check "the program turned PrintScreen snipping off" wait_for 20 is_value "$keyboard" PrintScreenKeyForSnippingEnabled 0x0
check "the setting before the install is remembered" is_value "$uninst" PrintScreenSnippingBefore 1
shot=$(capture "$inst/vantoructl.exe") || shot=
check "the installed program captured a picture that decodes" decodes "$shot"

echo "== upgrade to $version over the running program, with changed settings"
w reg add "$settings" /v path /t REG_SZ /d "$captures_win" /f >/dev/null
# The user turned the start with Windows off in the program's menu: the upgrade leaves it off.
w reg delete "$run" /v Vantoru /f >/dev/null
old_pids=$(vantoru_pids)
check "0.9.0 runs before the upgrade" test -n "$old_pids"
check "the installer ends with 0" run "$setup" /S
check "the running 0.9.0 was closed" wait_for 20 gone $old_pids
check "the new version was started" w "$inst/vantoructl.exe" wait
check "vantoru.exe was replaced by the release's" cmp -s "$inst/vantoru.exe" <(unzip -p "$zip" Vantoru/vantoru.exe)
check "Add/Remove Programs: version $version" is_value "$uninst" DisplayVersion "$version"
check "the changed setting was kept" is_value "$settings" path "$captures_win"
check "start with Windows stays off" no_value "$run" Vantoru
check "the snipping setting before the first install is still remembered" \
  is_value "$uninst" PrintScreenSnippingBefore 1
shot=$(capture "$inst/vantoructl.exe") || shot=
check "the upgraded program saves into the changed folder" test "$(dirname "$shot")" = "$captures"
check "... a picture that decodes" decodes "$shot"

echo "== the Start menu shortcut starts the installed program"
w "$inst/vantoructl.exe" quit
# ... and on again, for the uninstaller to remove.
w reg add "$run" /v Vantoru /t REG_SZ /d "\"$inst_win\\vantoru.exe\" /start" /f >/dev/null
check "Vantoru quit" wait_for 20 none_running
run start /unix "$shortcut"
check "the shortcut started Vantoru" w "$inst/vantoructl.exe" wait
pid=$(vantoru_pids | head -n1)
check "... from the install folder" grep -qF "$inst_win\\vantoru.exe" <(tr '\0' '\n' 2>/dev/null <"/proc/${pid:-0}/cmdline")

echo "== silent uninstall while Vantoru runs"
run "$inst/uninstall.exe" /S
# The uninstaller runs on from a copy of itself in the temporary folder.
check "the Add/Remove Programs entry is gone" wait_for 30 no_key "$uninst"
check "Vantoru was ended" wait_for 20 none_running
check "the program folder is gone" wait_for 10 test ! -e "$inst"
check "the shortcut is gone" test ! -e "$shortcut"
check "the Run entry is gone" no_value "$run" Vantoru
check "PrintScreen snipping is back as it was" is_value "$keyboard" PrintScreenKeyForSnippingEnabled 0x1
check "the settings are kept (silent)" is_value "$settings" path "$captures_win"
check "the captures are kept" test -f "$shot"

echo "== the portable zip, unpacked somewhere else"
pdir="$(unixpath 'C:\')/휴대용 도구"
mkdir -p "$pdir"
unzip -q "$zip" -d "$pdir"
pdir=$pdir/Vantoru
start_portable() {
  "$VANTORU_WINE" "$pdir/vantoru.exe" </dev/null >/dev/null 2>>"$work/wine.log" &
  portable_pid=$!
  w "$pdir/vantoructl.exe" wait
}
stop_portable() {
  local rc=0
  w "$pdir/vantoructl.exe" quit || true
  wait_for 20 none_running || rc=1
  wait "$portable_pid" || true
  return $rc
}
w reg add "$settings" /v saveto /t REG_DWORD /d 4 /f >/dev/null   # WebP, through libwebp.dll
check "the portable vantoru.exe runs" start_portable
shot=$(capture "$pdir/vantoructl.exe") || shot=
check "it captured a WebP picture" test "${shot##*.}" = webp
check "... that decodes" decodes "$shot"
check "it quits" stop_portable

echo "== an install while Vantoru records is refused, and the recording goes on"
w reg add "$settings" /v saveto /t REG_DWORD /d 5 /f >/dev/null   # MP4, through ffmpeg.exe
check "the portable vantoru.exe runs" start_portable
w "$pdir/vantoructl.exe" capture >/dev/null
check "it records with its ffmpeg.exe" wait_for 20 recording
rc=0
run "$setup" /S || rc=$?
check "the installer gives up with exit code 2 (got $rc)" test "$rc" = 2
check "... and installed nothing" test ! -e "$inst"
check "... not even an Add/Remove Programs entry" no_key "$uninst"
check "the recording went on" recording
w "$pdir/vantoructl.exe" capture >/dev/null
check "the recording ends" wait_for 20 not_recording
movie=$(ls "$captures"/V-*.mp4 2>/dev/null | head -n1)
check "... into an MP4 of H.264 video" \
  test "$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_name -of csv=p=0 "${movie:-none}")" = h264
check "it quits" stop_portable

if [ "$failed" -ne 0 ]; then
  echo "release test FAILED (Wine's output: $work/wine.log)"
  exit 1
fi
vantoru_env_stop
trap - EXIT
rm -rf "$work/prefix"   # 700 MB
echo "release test passed"
