#!/usr/bin/env bash
# Pictures of every window the program shows, under Wine, to check them by eye:
#   scripts/screenshots.sh
# Runs the screen tour test (tests/e2e/ScreenTourTest.cpp) in every language at 96 DPI and
# in Korean and English at 144 DPI with VANTORU_SHOTS set, in a prefix with the fonts a
# Windows desktop has, and saves build/screenshots/WINDOW-LANG-DPI.png: the main window
# (main, main-color, main-record), its menus (main-menu, color-menu), the hotkey and size
# dialogs, the region frame and its menu, the floating window's menu, the web page window,
# the update offer, the upload bar and the message boxes.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
out="$top/build/screenshots"
rm -rf "$out"
mkdir -p "$out"

cmake --preset windows -DVANTORU_TESTS=ON >build-screenshots.log 2>&1
cmake --build --preset windows >>build-screenshots.log 2>&1 || { tail -n 40 build-screenshots.log; exit 1; }

. "$top/scripts/winenv.sh"
trap vantoru_env_stop EXIT
vantoru_env_start "$top/build/wine-shots"
w() { "$VANTORU_WINE" "$@" </dev/null >/dev/null 2>&1; }
winpath() { echo "Z:${1//\//\\}"; }

# Fonts as a Windows desktop has them, in this prefix only: Wine's own (the title bar's
# glyphs come from Marlett) from Debian's fonts-wine, and the CJK fonts linked behind the
# interface fonts, as Windows links its Korean, Japanese and Chinese fonts.
fonts="$WINEPREFIX/drive_c/windows/Fonts"
if [ ! -f "$fonts/marlett.ttf" ]; then
  tmp=$(mktemp -d)
  (cd "$tmp" && apt-get download fonts-wine >/dev/null 2>&1 && dpkg-deb -x fonts-wine_*.deb x) &&
    cp "$tmp"/x/usr/share/wine/fonts/* "$fonts/" || echo "fonts-wine not available: title bar glyphs may be missing"
  rm -rf "$tmp"
fi
# Segoe UI is not free: Tahoma, its predecessor, stands in.
w reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v "Segoe UI" /t REG_SZ /d Tahoma /f
cjk() {  # the CJK face linked behind the interface fonts
  local face=$1 f
  for f in "Segoe UI" Tahoma "Microsoft Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2" "Courier New"; do
    w reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$f" /t REG_MULTI_SZ \
      /d "NotoSansCJK-Regular.ttc,$face" /f
  done
}

export VANTORU_SHOTS="Z:${out//\//\\}"
for run in ko96 en96 ja96 ru96 it96 fr96 zh96 ko144 en144; do
  lang=${run%%[0-9]*}
  case $lang in ja) cjk "Noto Sans CJK JP" ;; zh) cjk "Noto Sans CJK SC" ;; *) cjk "Noto Sans CJK KR" ;; esac
  ctest --test-dir build/windows -R "ScreenTour\..*/$run\$" --output-on-failure >>build-screenshots.log 2>&1 ||
    echo "screen tour $run failed: see build-screenshots.log"
done

# BMP to PNG, with nothing but Python's own zlib.
python3 - "$out" <<'PY'
import pathlib, struct, sys, zlib
for bmp in sorted(pathlib.Path(sys.argv[1]).glob("*.bmp")):
    data = bmp.read_bytes()
    off, = struct.unpack_from("<I", data, 10)
    w, h = struct.unpack_from("<ii", data, 18)
    stride = (w * 3 + 3) & ~3
    rows = []
    for y in range(abs(h)):
        src = h - 1 - y if h > 0 else y
        row = data[off + src * stride: off + src * stride + w * 3]
        rgb = bytearray(len(row))
        rgb[0::3], rgb[1::3], rgb[2::3] = row[2::3], row[1::3], row[0::3]
        rows.append(b"\0" + bytes(rgb))
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, abs(h), 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    bmp.with_suffix(".png").write_bytes(png)
    bmp.unlink()
    print(bmp.with_suffix(".png"))
PY
