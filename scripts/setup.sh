#!/usr/bin/env bash
# Installs, from Debian's packages only, what building, running and testing Palisor needs.
# Idempotent: a second run installs nothing and takes a second.
set -euo pipefail

# Both MinGW-w64 compilers: the 32-bit product carries a 64-bit hook library and placing helper.
need_pkgs=(cmake make g++ googletest clang libclang-rt-14-dev
           g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
           g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
           wine wine32:i386 xvfb xauth imagemagick fp-utils nsis python3 stress-ng)

missing=()
have_i386=$(dpkg --print-foreign-architectures | grep -c '^i386$' || true)
for p in "${need_pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if [ "$have_i386" -eq 0 ]; then
    $sudo_cmd dpkg --add-architecture i386
  fi
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# A machine that cannot run 32-bit x86 code runs the 64-bit build of the same sources.
. "$(dirname "$0")/wine-arch.sh"
if [ "$PALISOR_WINDOWS_ARCH" = x86_64 ]; then
  need64=()
  for p in wine64; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need64+=("$p")
  done
  if [ "${#need64[@]}" -gt 0 ]; then
    echo "setup: this machine runs no 32-bit x86 code; installing ${need64[*]} for the 64-bit build"
    [ "${#missing[@]}" -gt 0 ] || $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${need64[@]}" >/dev/null
  fi
fi

# libjpeg for the Windows build: cross-built from Debian's source package (adds a deb-src entry once).
bash "$(dirname "$0")/libjpeg.sh" \
  "${PALISOR_BUILD_DIR:-$(cd "$(dirname "$0")/.." && pwd)/build}/deps/libjpeg-$PALISOR_WINDOWS_ARCH" "$PALISOR_WINDOWS_ARCH"
