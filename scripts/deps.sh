#!/usr/bin/env bash
# Cross-builds, from Debian's own source packages (Debian's patches applied), what Debian
# ships no mingw build of:
#   - libjpeg-turbo (static) and libwebp (as libwebp.dll): $deps/{prefix,webp};
#   - zlib (static) with the flags of Debian's amd64 build, compiled by clang: $deps/prefix
#     (see zlib below);
#   - ffmpeg.exe with x264, the encoder of the screen recording: $deps/ffmpeg/current/.
# $deps is $VANTORU_DEPS, default <repo>/.deps. Finished builds are kept; the Windows build
# copies libwebp.dll and ffmpeg.exe beside vantoru.exe.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
deps=${VANTORU_DEPS:-$top/.deps}
prefix=$deps/prefix
toolchain=$top/cmake/mingw-w64-x86_64.cmake
mkdir -p "$deps"

unpack() { # source folder, name -> directory with Debian's patches applied
  local dsc dir
  dsc=$(ls "$1"/"$2"_*.dsc | head -n1)
  dir=$1/$2
  if [ ! -d "$dir" ]; then
    (cd "$1" && dpkg-source -q -x "$dsc" "$dir" >/dev/null)
  fi
  echo "$dir"
}

images() {
  [ -f "$deps/jpeg.done" ] && [ -f "$deps/webp.done" ] && [ -f "$deps/zlib-clang.done" ] && return 0
  exec 9>"$deps/.lock"
  flock 9
  local src=$deps/src
  mkdir -p "$src/lists/partial"
  if ! ls "$src"/libjpeg-turbo_*.dsc "$src"/libwebp_*.dsc "$src"/zlib_*.dsc >/dev/null 2>&1; then
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main" >"$src/sources.list"
    local apt_opts=(-o Dir::Etc::SourceList="$src/sources.list" -o Dir::Etc::SourceParts=/dev/null -o Dir::State::Lists="$src/lists")
    apt-get "${apt_opts[@]}" update -qq
    (cd "$src" && apt-get "${apt_opts[@]}" source --download-only libjpeg-turbo libwebp zlib >/dev/null)
  fi

  if [ ! -f "$deps/jpeg.done" ]; then
    local d
    d=$(unpack "$src" libjpeg-turbo)
    cmake -S "$d" -B "$deps/build-jpeg" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
      -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DWITH_TURBOJPEG=OFF >/dev/null
    cmake --build "$deps/build-jpeg" >/dev/null
    cmake --install "$deps/build-jpeg" >/dev/null
    touch "$deps/jpeg.done"
  fi

  if [ ! -f "$deps/webp.done" ]; then
    local d off=()
    d=$(unpack "$src" libwebp)
    for t in ANIM_UTILS CWEBP DWEBP GIF2WEBP IMG2WEBP VWEBP WEBPINFO LIBWEBPMUX WEBPMUX EXTRAS; do off+=("-DWEBP_BUILD_$t=OFF"); done
    cmake -S "$d" -B "$deps/build-webp" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
      "-DCMAKE_SHARED_LINKER_FLAGS=-static-libgcc -static -s" "${off[@]}" >/dev/null
    cmake --build "$deps/build-webp" --target webp >/dev/null
    mkdir -p "$deps/webp"
    cp "$deps/build-webp/libwebp.dll" "$deps/webp/"
    touch "$deps/webp.done"
  fi

  # zlib: Debian's mingw package is compiled at -O2 without UNALIGNED_OK, which makes the PNG
  # encoder's deflate (level 7, mostly longest_match) about 16 % slower than Debian's own
  # amd64 build. The library alone, with the flags of that build; zlib's configure refuses
  # mingw, and the sources list is short. clang's code deflates 3-4 % faster than gcc's (the
  # same bytes; under Wine and natively), and links into the gcc-built program as any C.
  if [ ! -f "$deps/zlib-clang.done" ]; then
    local d b=$deps/build-zlib f
    d=$(unpack "$src" zlib)
    rm -rf "$b" && mkdir -p "$b" "$prefix/lib" "$prefix/include"
    for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees trees uncompr zutil; do
      clang --target=x86_64-w64-mingw32 -O3 -DUNALIGNED_OK -D_REENTRANT -Wall -c "$d/$f.c" -o "$b/$f.o"
    done
    rm -f "$b/libz.a"
    x86_64-w64-mingw32-ar rcs "$b/libz.a" "$b"/*.o
    cp "$b/libz.a" "$prefix/lib/"
    cp "$d/zlib.h" "$d/zconf.h" "$prefix/include/"
    touch "$deps/zlib-clang.done"
  fi
  exec 9>&-
}

# ---- ffmpeg.exe ---------------------------------------------------------------------------
# The versions it was last built and tested with. When Debian has replaced one of them by a
# newer (security) release, the archive no longer has it and the newest one there is taken.
ffmpeg_pin=7:5.1.9-0+deb12u1
x264_pin=2:0.164.3095+gitbaee400-3

# Only what the recorder's command lines need, everything else off (it also keeps the build
# short: about 5 minutes on 2 cores):
#   inputs    gdigrab (the desktop or the mirror window), dshow (the sound and the device
#             listing "-list_devices true -f dshow");
#   decoders  bmp (what gdigrab delivers), pcm_s16le (what dshow delivers), rawvideo;
#   filters   scale ("-vf scale=..."), format ("-pix_fmt yuv420p"), aformat and aresample
#             (sound into the AAC encoder's format), null and anull (the default graphs),
#             trim and atrim (the "-t" limit);
#   encoders  libx264 ("-c:v libx264", hence GPL), aac ("-c:a aac");
#   muxer     mp4; protocol file.
# Static, with the system's DLLs only; no network, no ffplay/ffprobe, no documentation.
ffmpeg_configure=(
  --target-os=mingw32 --arch=x86_64 --cross-prefix=x86_64-w64-mingw32- --enable-cross-compile
  --cc=x86_64-w64-mingw32-gcc-posix --pkg-config=pkg-config --pkg-config-flags=--static
  --extra-ldflags=-static --enable-gpl --enable-libx264 --disable-autodetect --enable-w32threads
  --disable-everything --disable-doc --disable-ffplay --disable-ffprobe --disable-network
  --enable-indev=gdigrab,dshow
  --enable-decoder=bmp,rawvideo,pcm_s16le
  --enable-filter=scale,format,aformat,aresample,null,anull,trim,atrim
  --enable-encoder=libx264,aac
  --enable-muxer=mp4 --enable-protocol=file
)

# Where the build records what it came from (read by the packaging for its notices).
ffmpeg_notes=ffmpeg-sources.txt

# Debian's source packages come through a private apt state (the system's sources stay as
# they are); downloads stay in $ffmpeg_src/dl, so a rebuild or a release needs no network.
ffmpeg_src=$deps/ffmpeg/src
ffmpeg_apt=(-o Dir::Etc::SourceList="$ffmpeg_src/sources.list" -o Dir::Etc::SourceParts=/dev/null
  -o Dir::State::Lists="$ffmpeg_src/lists" -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=)

ffmpeg_archive() { # reads the archive's current lists of bookworm and its updates
  local suite
  mkdir -p "$ffmpeg_src/lists/partial"
  : >"$ffmpeg_src/sources.list"
  for suite in "debian bookworm" "debian bookworm-updates" "debian-security bookworm-security"; do
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/${suite% *} ${suite#* } main" >>"$ffmpeg_src/sources.list"
  done
  apt-get "${ffmpeg_apt[@]}" update -qq >"$ffmpeg_src/apt.log" 2>&1 || { cat "$ffmpeg_src/apt.log" >&2; return 1; }
}

ffmpeg_dsc_files() { # .dsc -> the files it lists
  sed -n '/^Files:/,/^[^ ]/{/^ /p}' "$1" | awk '{print $3}'
}

ffmpeg_download() { # package version -> path of its .dsc in $ffmpeg_src/dl, with its files
  local dsc=$ffmpeg_src/dl/${1}_${2#*:}.dsc f complete=1
  mkdir -p "$ffmpeg_src/dl"
  if [ -f "$dsc" ]; then
    for f in $(ffmpeg_dsc_files "$dsc"); do [ -f "$ffmpeg_src/dl/$f" ] || complete=0; done
  else
    complete=0
  fi
  if [ "$complete" = 0 ]; then
    (cd "$ffmpeg_src/dl" && apt-get "${ffmpeg_apt[@]}" source --download-only "$1=$2" >"$ffmpeg_src/apt.log" 2>&1) ||
      { cat "$ffmpeg_src/apt.log" >&2; return 1; }
  fi
  echo "$dsc"
}

ffmpeg_build() {
  local base=$deps/ffmpeg
  mkdir -p "$base"
  # A finished build for these pins is used as it is, without asking the archive. "pins"
  # says what "current" was built for; a build's "done" holds its configuration.
  local asked="ffmpeg=$ffmpeg_pin x264=$x264_pin configure=${ffmpeg_configure[*]}"
  local configured="${ffmpeg_configure[*]}"
  ready() { [ -f "$base/current/done" ] && [ "$(cat "$base/pins" 2>/dev/null)" = "$asked" ]; }
  ready && return 0
  exec 8>"$base/.lock"
  flock 8
  ready && return 0

  local src=$ffmpeg_src
  ffmpeg_archive

  # The pinned version when the archive still has it, else the newest it has.
  resolve() { # package pin -> version
    local v best=
    for v in $(apt-cache "${ffmpeg_apt[@]}" showsrc "$1" | sed -n 's/^Version: //p' | sort -u); do
      [ "$v" = "$2" ] && { echo "$v"; return; }
      if [ -z "$best" ] || dpkg --compare-versions "$v" gt "$best"; then best=$v; fi
    done
    [ -n "$best" ] || { echo "deps.sh: no source package $1 in the archive" >&2; return 1; }
    echo "deps.sh: $1 $2 is no longer in the archive, taking $best" >&2
    echo "$best"
  }
  local ffmpeg_version x264_version
  ffmpeg_version=$(resolve ffmpeg "$ffmpeg_pin")
  x264_version=$(resolve x264 "$x264_pin")
  local x264_key=x264-${x264_version#*:} ffmpeg_key=ffmpeg-${ffmpeg_version#*:}_x264-${x264_version#*:}

  # Unpacked trees go once the build is done; the downloads stay.
  fetch() { # package version -> unpacked source folder
    local dir=$src/$1-${2#*:} dsc
    dsc=$(ffmpeg_download "$1" "$2") || return 1
    if [ ! -d "$dir" ]; then
      rm -rf "$dir.tmp"
      (cd "$src/dl" && dpkg-source -q -x "$dsc" "$dir.tmp" >/dev/null 2>&1) && mv "$dir.tmp" "$dir"
    fi
    echo "$dir"
  }

  local jobs
  jobs=$(nproc)
  local x264_prefix=$base/$x264_key
  if [ ! -f "$x264_prefix/done" ]; then
    local d
    d=$(fetch x264 "$x264_version")
    rm -rf "$base/build-$x264_key" "$x264_prefix"
    cp -a "$d" "$base/build-$x264_key"
    (cd "$base/build-$x264_key" &&
      { CC=x86_64-w64-mingw32-gcc-posix ./configure --host=x86_64-w64-mingw32 --cross-prefix=x86_64-w64-mingw32- \
          --prefix="$x264_prefix" --enable-static --disable-cli --disable-opencl --bit-depth=8 &&
        make -j"$jobs" && make install-lib-static; } >build.log 2>&1 || { tail -n 30 build.log >&2; exit 1; })
    rm -rf "$base/build-$x264_key" "$d"
    echo "$x264_version" >"$x264_prefix/done"
  fi

  local out=$base/$ffmpeg_key
  if [ ! -f "$out/done" ] || [ "$(cat "$out/done")" != "$configured" ]; then
    local d build=$base/build-$ffmpeg_key
    d=$(fetch ffmpeg "$ffmpeg_version")
    rm -rf "$build" "$out"
    mkdir -p "$build" "$out"
    # The PE time stamp from Debian's changelog, so the same sources give the same time.
    local epoch
    epoch=$(dpkg-parsechangelog -l "$d/debian/changelog" -STimestamp)
    (cd "$build" &&
      SOURCE_DATE_EPOCH=$epoch PKG_CONFIG_LIBDIR="$x264_prefix/lib/pkgconfig" PKG_CONFIG_PATH= \
        "$d/configure" "${ffmpeg_configure[@]}" >configure.log 2>&1 || { tail -n 30 configure.log >&2; exit 1; }
      SOURCE_DATE_EPOCH=$epoch make -j"$jobs" ffmpeg.exe >make.log 2>&1 || { tail -n 30 make.log >&2; exit 1; })
    cp "$build/ffmpeg.exe" "$out/"
    {
      echo "# ffmpeg.exe beside this file was built by Vantoru's scripts/deps.sh from Debian's source"
      echo "# packages (Debian's patches applied), cross-compiled with mingw-w64, static."
      echo "# Licence: GNU GPL version 2 or later (ffmpeg configured with --enable-gpl, with libx264)."
      echo "FFMPEG_SOURCE=ffmpeg"
      echo "FFMPEG_VERSION=$ffmpeg_version"
      echo "X264_SOURCE=x264"
      echo "X264_VERSION=$x264_version"
      echo "CONFIGURE=\"${ffmpeg_configure[*]}\""
    } >"$out/$ffmpeg_notes"
    rm -rf "$build" "$d"
    echo "$configured" >"$out/done"
  fi
  ln -sfn "$ffmpeg_key" "$base/current"
  echo "$asked" >"$base/pins"
  exec 8>&-
}

# The corresponding source of the ffmpeg.exe that was built (it is GPL): the Debian source
# packages of the exact versions its notes name, each .dsc with the files it lists, copied
# into a folder. Fetched again by version where the downloads are gone.
ffmpeg_sources_to() { # folder
  local notes=$deps/ffmpeg/current/$ffmpeg_notes FFMPEG_VERSION= X264_VERSION= pkg ver dsc f
  [ -f "$notes" ] || { echo "deps.sh: no ffmpeg.exe has been built yet" >&2; return 1; }
  eval "$(grep -E '^(FFMPEG|X264)_VERSION=' "$notes")"
  mkdir -p "$1"
  exec 8>"$deps/ffmpeg/.lock"
  flock 8
  for pkg in ffmpeg x264; do
    if [ "$pkg" = ffmpeg ]; then ver=$FFMPEG_VERSION; else ver=$X264_VERSION; fi
    if ! dsc=$(ffmpeg_download "$pkg" "$ver" 2>/dev/null); then
      ffmpeg_archive && dsc=$(ffmpeg_download "$pkg" "$ver") ||
        { echo "deps.sh: the source package $pkg $ver cannot be had" >&2; return 1; }
    fi
    cp "$dsc" "$1/"
    for f in $(ffmpeg_dsc_files "$dsc"); do cp "$ffmpeg_src/dl/$f" "$1/"; done
  done
  exec 8>&-
}

case "${1:-}" in
  # deps.sh ffmpeg-sources FOLDER: the source packages of the built ffmpeg.exe, for a release
  ffmpeg-sources) ffmpeg_sources_to "${2:?folder}" ;;
  *) images; ffmpeg_build ;;
esac
