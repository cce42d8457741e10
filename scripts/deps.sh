#!/usr/bin/env bash
# Cross-builds the two libraries that Debian ships no mingw build of, from Debian's own
# source packages (Debian's patches applied): libjpeg-turbo (static) and libwebp (as libwebp.dll).
# Result: $VANTORU_DEPS (default <repo>/.deps)/{prefix,webp}. A finished build is kept.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
deps=${VANTORU_DEPS:-$top/.deps}
prefix=$deps/prefix
toolchain=$top/cmake/mingw-w64-x86_64.cmake
mkdir -p "$deps"

if [ -f "$deps/jpeg.done" ] && [ -f "$deps/webp.done" ]; then
  exit 0
fi

exec 9>"$deps/.lock"
flock 9
src=$deps/src
mkdir -p "$src/lists/partial"
if ! ls "$src"/libjpeg-turbo_*.dsc >/dev/null 2>&1 || ! ls "$src"/libwebp_*.dsc >/dev/null 2>&1; then
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main" >"$src/sources.list"
  apt_opts=(-o Dir::Etc::SourceList="$src/sources.list" -o Dir::Etc::SourceParts=/dev/null -o Dir::State::Lists="$src/lists")
  apt-get "${apt_opts[@]}" update -qq
  (cd "$src" && apt-get "${apt_opts[@]}" source --download-only libjpeg-turbo libwebp >/dev/null)
fi

unpack() { # name -> directory with Debian's patches applied
  local dsc dir
  dsc=$(ls "$src"/"$1"_*.dsc | head -n1)
  dir=$src/$1
  if [ ! -d "$dir" ]; then
    (cd "$src" && dpkg-source -q -x "$dsc" "$dir" >/dev/null)
  fi
  echo "$dir"
}

if [ ! -f "$deps/jpeg.done" ]; then
  d=$(unpack libjpeg-turbo)
  cmake -S "$d" -B "$deps/build-jpeg" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DWITH_TURBOJPEG=OFF >/dev/null
  cmake --build "$deps/build-jpeg" >/dev/null
  cmake --install "$deps/build-jpeg" >/dev/null
  touch "$deps/jpeg.done"
fi

if [ ! -f "$deps/webp.done" ]; then
  d=$(unpack libwebp)
  off=()
  for t in ANIM_UTILS CWEBP DWEBP GIF2WEBP IMG2WEBP VWEBP WEBPINFO LIBWEBPMUX WEBPMUX EXTRAS; do off+=("-DWEBP_BUILD_$t=OFF"); done
  cmake -S "$d" -B "$deps/build-webp" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
    "-DCMAKE_SHARED_LINKER_FLAGS=-static-libgcc -static -s" "${off[@]}" >/dev/null
  cmake --build "$deps/build-webp" --target webp >/dev/null
  mkdir -p "$deps/webp"
  cp "$deps/build-webp/libwebp.dll" "$deps/webp/"
  touch "$deps/webp.done"
fi
