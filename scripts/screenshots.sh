#!/usr/bin/env bash
# Pictures of the main window under Wine, to check its layout by eye:
#   scripts/screenshots.sh [LANGUAGES] [DPIS]      defaults: "ko en ja" and "96 144"
# For each language and DPI it starts Vantoru with that "language" setting and that screen
# DPI, and saves build/screenshots/main-LANG-DPI.png (the window), -menu.png (with the menu
# open) and -lang.png (with the language submenu open).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
languages=${1:-ko en ja}
dpis=${2:-96 144}
out="$top/build/screenshots"
mkdir -p "$out"

cmake --preset windows -DVANTORU_TESTS=ON >build-screenshots.log 2>&1
cmake --build --preset windows --target vantoru vantoructl winshot >>build-screenshots.log 2>&1 ||
  { tail -n 40 build-screenshots.log; exit 1; }

. "$top/scripts/winenv.sh"
trap vantoru_env_stop EXIT
vantoru_env_start "$top/build/wine-shots"
bin="$top/build/windows"
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

for dpi in $dpis; do
  w reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f
  for lang in $languages; do
    w reg add 'HKCU\Software\Dorvenix\Vantoru' /v language /t REG_SZ /d "$lang" /f
    case $lang in ja) cjk "Noto Sans CJK JP" ;; zh) cjk "Noto Sans CJK SC" ;; *) cjk "Noto Sans CJK KR" ;; esac
    "$VANTORU_WINE" "$bin/vantoru.exe" </dev/null >/dev/null 2>&1 &
    pid=$!
    "$VANTORU_WINE" "$bin/vantoructl.exe" wait </dev/null >/dev/null
    sleep 1
    base="$out/main-$lang-$dpi"
    w "$bin/winshot.exe" "$(winpath "$base.bmp")"
    w "$bin/winshot.exe" "$(winpath "$base-menu.bmp")" menu
    w "$bin/winshot.exe" "$(winpath "$base-lang.bmp")" menu 4
    "$VANTORU_WINE" "$bin/vantoructl.exe" quit </dev/null >/dev/null 2>&1 || true
    wait "$pid" || true
  done
done
w reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f || true

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
