#!/usr/bin/env bash
# Builds Palisor for Windows and runs it under Wine: on $DISPLAY when there is one, otherwise on a
# private Xvfb display. The Wine prefix is persistent (settings survive between runs); the program
# directory, where Palisor keeps its seven files, is the folder of the built Palisor.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${PALISOR_BUILD_DIR:-$ROOT/build}

bash scripts/setup.sh
. scripts/wine-arch.sh
RELEASE=$BUILD/release
[ "$PALISOR_WINDOWS_ARCH" = i686 ] || RELEASE=$BUILD/release64
cmake -S . -B "$RELEASE" -DCMAKE_TOOLCHAIN_FILE="$PALISOR_TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
      -DPALISOR_TESTS=OFF -DPALISOR_LIBJPEG_DIR="$BUILD/deps/libjpeg-$PALISOR_WINDOWS_ARCH" >/dev/null
cmake --build "$RELEASE" -j"$(nproc)"

export WINEPREFIX=${PALISOR_WINEPREFIX:-$HOME/.local/share/palisor/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$(dirname "$WINEPREFIX")"
[ -f "$WINEPREFIX/system.reg" ] || { echo "run: creating the Wine prefix $WINEPREFIX"; wineboot -i >/dev/null 2>&1; }

if [ -z "${DISPLAY:-}" ]; then
  display_number=$((150 + RANDOM % 50))
  echo "run: no DISPLAY set: Palisor runs on a private Xvfb display :$display_number" \
       "(see it with: DISPLAY=:$display_number import -window root shot.png)"
  Xvfb ":$display_number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill $xvfb_pid 2>/dev/null' EXIT
  export DISPLAY=":$display_number"
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display_number" ] && break; sleep 0.1; done
fi

echo "run: program directory $RELEASE/bin"
cd "$RELEASE/bin"
wine ./Palisor.exe
