#!/usr/bin/env bash
# Cross-builds libjpeg (libjpeg-turbo, which implements the IJG libjpeg interface) for Windows
# from Debian's source package, as a static library with its headers.
#
#   scripts/libjpeg.sh [PREFIX [ARCH]]
#
# ARCH is i686 (32-bit, the default) or x86_64; PREFIX defaults to build/deps/libjpeg-ARCH; the
# source is unpacked beside it (build/deps/src).
# Idempotent: when PREFIX/lib/libjpeg.a and PREFIX/include/jpeglib.h exist it does nothing.
# Adds a deb-src entry for Debian's archive when none exists (apt-get source needs one).
# The top-level build finds the result through -DPALISOR_LIBJPEG_DIR=PREFIX (the default).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
arch=${2:-i686}
prefix=${1:-$repo/build/deps/libjpeg-$arch}
prefix=$(mkdir -p "$prefix" && cd "$prefix" && pwd)
cache=$(dirname "$prefix")/src

if [ -f "$prefix/lib/libjpeg.a" ] && [ -f "$prefix/include/jpeglib.h" ]; then
  exit 0
fi

sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"

has_deb_src() {
  grep -Eqs '^[[:space:]]*Types:.*deb-src' /etc/apt/sources.list.d/*.sources ||
    grep -Eqs '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list
}

if ! has_deb_src; then
  echo "libjpeg: adding a deb-src entry for Debian's archive"
  src_list=/etc/apt/sources.list.d/palisor-deb-src.sources
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    # deb822 format (Debian 12): the same archives, for source packages.
    sed -E 's/^Types:[[:space:]]*deb[[:space:]]*$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      $sudo_cmd tee "$src_list" >/dev/null
  elif grep -Eqs '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list; then
    grep -E '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list | sed -E 's/^([[:space:]]*)deb /\1deb-src /' |
      $sudo_cmd tee /etc/apt/sources.list.d/palisor-deb-src.list >/dev/null
  else
    echo "libjpeg: no Debian archive entry found to derive a deb-src entry from" >&2
    exit 1
  fi
  $sudo_cmd apt-get update -qq
fi

if ! command -v dpkg-source >/dev/null; then
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends dpkg-dev >/dev/null
fi

mkdir -p "$cache"
source_dir=$(find "$cache" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | sort | tail -n 1)
if [ -z "$source_dir" ]; then
  echo "libjpeg: fetching the libjpeg-turbo source package"
  (cd "$cache" && apt-get source -qq libjpeg-turbo >/dev/null 2>&1) ||
    (cd "$cache" && apt-get source libjpeg-turbo)
  source_dir=$(find "$cache" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | sort | tail -n 1)
fi
[ -n "$source_dir" ] || { echo "libjpeg: source package not unpacked" >&2; exit 1; }

echo "libjpeg: cross-building $(basename "$source_dir") into $prefix"
build_dir=$cache/build-$arch
cmake -S "$source_dir" -B "$build_dir" -Wno-dev \
  -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-$arch.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DWITH_SIMD=0 -DENABLE_SHARED=0 -DWITH_TURBOJPEG=0 >/dev/null
cmake --build "$build_dir" --target jpeg-static -j2 >/dev/null
mkdir -p "$prefix/lib" "$prefix/include"
cp "$build_dir/libjpeg.a" "$prefix/lib/libjpeg.a"
cp "$source_dir/jpeglib.h" "$source_dir/jmorecfg.h" "$source_dir/jerror.h" "$build_dir/jconfig.h" "$prefix/include/"
echo "libjpeg: done"
