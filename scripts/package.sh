#!/usr/bin/env bash
# Builds Vantoru's Windows release from this tree (a clean clone will do), into build/dist/:
#   vantoru-<version>-setup.exe          the installer (NSIS, per user, no administrator)
#   vantoru-<version>-portable.zip       the same files in a folder "Vantoru", to unpack anywhere
#   vantoru-<version>-ffmpeg-source.tar  the corresponding source of ffmpeg.exe (GPL)
# <version> is major.minor.patch of the CMake project version, the one the program's
# VERSIONINFO carries (build/windows/generated/version.txt has all four parts).
# VANTORU_SKIP_SETUP=1 skips the package installation (test.sh has just done it).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
[ -n "${VANTORU_SKIP_SETUP:-}" ] || "$top/scripts/setup.sh"
deps=${VANTORU_DEPS:-$top/.deps}
export VANTORU_DEPS=$deps

log=$top/build-package.log
{ cmake --preset windows && cmake --build --preset windows --target vantoru vantoructl -j "$(nproc)"; } >"$log" 2>&1 ||
  { tail -n 40 "$log"; exit 1; }

bin=$top/build/windows
version4=$(cat "$bin/generated/version.txt")
version=${version4%.*}
work=$top/build/package
dist=$top/build/dist
stage=$work/Vantoru
rm -rf "$work"
mkdir -p "$stage" "$dist"
rm -f "$dist"/vantoru-*

# ---- the program's files --------------------------------------------------------------------
for f in vantoru.exe vantoructl.exe libwebp.dll ffmpeg.exe ffmpeg-sources.txt; do
  [ -f "$bin/$f" ] || { echo "package.sh: $bin/$f is missing (scripts/deps.sh builds libwebp.dll and ffmpeg.exe)" >&2; exit 1; }
  cp "$bin/$f" "$stage/"
done
# The build keeps debugging sections; the release does without them.
x86_64-w64-mingw32-strip --strip-debug "$stage/vantoru.exe" "$stage/vantoructl.exe"

# ---- texts: README, the program's licence, the third parties' notices ------------------------
. "$bin/ffmpeg-sources.txt"   # FFMPEG_VERSION, X264_VERSION, CONFIGURE
debver() { dpkg-query -W -f='${Version}' "$1"; }
dscver() { # source folder, package -> version from its .dsc name
  local d
  d=$(ls "$1/$2"_*.dsc | head -n1)
  d=${d##*/$2_}
  echo "${d%.dsc}"
}
jpeg_version=$(dscver "$deps/src" libjpeg-turbo)
webp_version=$(dscver "$deps/src" libwebp)
zlib_version=$(dscver "$deps/src" zlib)
for d in libjpeg-turbo libwebp; do
  [ -d "$deps/src/$d/debian" ] || { echo "package.sh: $deps/src/$d is missing: run scripts/deps.sh" >&2; exit 1; }
done
source_tar=vantoru-$version-ffmpeg-source.tar
ffsrc=$work/vantoru-$version-ffmpeg-source
"$top/scripts/deps.sh" ffmpeg-sources "$ffsrc/debian"
from_debian_tar() { # package -> its debian/copyright, read from the source package's debian tarball
  tar -xOf "$(ls "$ffsrc/debian/$1"_*.debian.tar.* | head -n1)" debian/copyright
}
underline() { printf '%s\n%s\n' "$1" "$(printf '%*s' ${#1} '' | tr ' ' '=')"; }
section() { printf '\n\n'; underline "$1"; echo; }

sed "s/@VERSION@/$version/g" package/README.txt >"$stage/README.txt"
cp LICENSE "$stage/LICENSE.txt"
{
  underline "Vantoru $version: third-party software"
  cat <<EOF

Vantoru itself is under the MIT licence (LICENSE.txt). It is shipped with, or contains, the
following software of others, each under its own licence, whose full texts follow below.

vantoru.exe contains, linked in:
  - zlib, built from Debian's source package zlib $zlib_version: zlib licence.
  - libjpeg-turbo, built from Debian's source package libjpeg-turbo $jpeg_version:
    IJG licence, BSD-3-Clause and zlib licences.
  - nlohmann-json (JSON for Modern C++), from Debian's package nlohmann-json3-dev
    $(debver nlohmann-json3-dev): MIT licence.
  - the mingw-w64 runtime and its winpthreads library, from Debian's package
    mingw-w64-x86-64-dev $(debver mingw-w64-x86-64-dev): ZPL-2.1, MIT and others.
  - GCC's runtime libraries (libgcc, libstdc++), from Debian's g++-mingw-w64-x86-64-posix
    $(debver g++-mingw-w64-x86-64-posix): GPL version 3 with the GCC Runtime Library
    Exception, which sets no conditions on programs compiled with GCC.
vantoructl.exe contains the mingw-w64 runtime and GCC's runtime libraries as above.

libwebp.dll is libwebp, built from Debian's source package libwebp $webp_version:
BSD-3-Clause licence with Google's additional patent grant.

ffmpeg.exe is FFmpeg with the x264 encoder, built from Debian's source packages
$FFMPEG_SOURCE $FFMPEG_VERSION and $X264_SOURCE $X264_VERSION (Debian's patches applied),
cross-compiled with mingw-w64 and linked statically. It is a separate program that Vantoru
runs for screen recording. It is free software: you can redistribute it and/or modify it
under the terms of the GNU General Public License as published by the Free Software
Foundation, version 2 of the License or (at your option) any later version (FFmpeg is
configured with --enable-gpl because x264 is under the GPL). It comes WITHOUT ANY WARRANTY;
see the GNU General Public License below.

  Its complete corresponding source is published beside this release as
  $source_tar: Debian's source packages named above (the original
  sources, Debian's changes and their .dsc descriptions), the script that built ffmpeg.exe
  from them (scripts/deps.sh) and the configuration, which ffmpeg-sources.txt beside
  ffmpeg.exe also lists. The same source packages are in Debian's archive under these names
  and versions.
EOF
  section "zlib (Debian's copyright file of the source package zlib $zlib_version)"
  cat "$deps/src/zlib/debian/copyright"
  section "libjpeg-turbo (LICENSE.md, then Debian's copyright file)"
  cat "$deps/src/libjpeg-turbo/LICENSE.md"
  echo
  cat "$deps/src/libjpeg-turbo/debian/copyright"
  section "libwebp (COPYING and PATENTS)"
  cat "$deps/src/libwebp/COPYING"
  echo
  cat "$deps/src/libwebp/PATENTS"
  section "nlohmann-json (Debian's copyright file of nlohmann-json3-dev)"
  cat /usr/share/doc/nlohmann-json3-dev/copyright
  section "mingw-w64 runtime and winpthreads (Debian's copyright file of mingw-w64-x86-64-dev)"
  cat /usr/share/doc/mingw-w64-x86-64-dev/copyright
  section "FFmpeg (Debian's copyright file of the source package $FFMPEG_SOURCE $FFMPEG_VERSION)"
  from_debian_tar ffmpeg
  section "x264 (Debian's copyright file of the source package $X264_SOURCE $X264_VERSION)"
  from_debian_tar x264
  section "GNU General Public License, version 2"
  cat /usr/share/common-licenses/GPL-2
  section "GNU Lesser General Public License, version 2.1 (most of FFmpeg's own files)"
  cat /usr/share/common-licenses/LGPL-2.1
} >"$stage/THIRD-PARTY-NOTICES.txt"
# Windows line ends, so that every editor shows the texts as they are.
for f in README.txt LICENSE.txt THIRD-PARTY-NOTICES.txt ffmpeg-sources.txt; do
  sed -i 's/\r$//; s/$/\r/' "$stage/$f"
done

# ---- installer ------------------------------------------------------------------------------
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DVERSION4="$version4" -DSTAGE="$stage" \
  -DICON="$top/res/vantoru.ico" -DOUTFILE="$dist/vantoru-$version-setup.exe" package/vantoru.nsi >>"$log" 2>&1 ||
  { tail -n 30 "$log"; exit 1; }

# ---- portable zip ---------------------------------------------------------------------------
(cd "$work" && zip -q -X -r "$dist/vantoru-$version-portable.zip" Vantoru)

# ---- corresponding source of ffmpeg.exe -----------------------------------------------------
mkdir -p "$ffsrc/scripts" "$ffsrc/cmake"
cp scripts/deps.sh "$ffsrc/scripts/"
cp cmake/mingw-w64-x86_64.cmake "$ffsrc/cmake/"
cp "$stage/ffmpeg-sources.txt" "$ffsrc/"
cat >"$ffsrc/README.txt" <<EOF
$(underline "The source of ffmpeg.exe in Vantoru $version")

debian/ holds Debian's source packages $FFMPEG_SOURCE $FFMPEG_VERSION and
$X264_SOURCE $X264_VERSION; "dpkg-source -x <file>.dsc" unpacks each with Debian's
patches applied. scripts/deps.sh is the script that built ffmpeg.exe from them on Debian 12
with Debian's mingw-w64 cross compiler (its function ffmpeg_build: x264 as a static library
first, then FFmpeg configured with the options that ffmpeg-sources.txt lists as CONFIGURE,
and "make ffmpeg.exe"); cmake/mingw-w64-x86_64.cmake is the toolchain file it names.
EOF
tar -C "$work" --owner=0 --group=0 --numeric-owner -cf "$dist/$source_tar" "vantoru-$version-ffmpeg-source"

echo "package.sh: Vantoru $version in $dist:"
ls -l "$dist" | sed -n 's/^.* \(vantoru-.*\)$/  \1/p'
