#!/usr/bin/env bash
# Installs what the build and the tests need, from Debian's registry only.
# Idempotent: packages already present are not touched, built dependencies are kept.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)

packages=(
  # cross build
  g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
  cmake ninja-build nasm pkg-config dpkg-dev ccache
  # headers shared with the cross build, independent decoders
  googletest nlohmann-json3-dev libstb-dev
  # host build
  g++ clang libclang-rt-dev libgtest-dev libbenchmark-dev zlib1g-dev libjpeg62-turbo-dev libpng-dev libgif-dev libwebp-dev
  # vantoru-server, and a TLS front for it in the tests
  libcpp-httplib-dev libsqlite3-dev pkg-config stunnel4 openssl
  # Wine and a virtual display
  wine64 xvfb xauth x11-utils xdotool xclip
  # tests: printing, PDF decoding, fonts, loopback servers, checking recordings (ffprobe)
  cups printer-driver-cups-pdf poppler-utils python3 fonts-noto-cjk ffmpeg
  # the release: installer, portable zip
  nsis zip unzip
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

"$here/deps.sh"
