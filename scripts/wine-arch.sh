# Sourced by the scripts: which Windows build this machine runs under Wine, and how to start it.
#
# The product is 32-bit (i686). Where this machine cannot run 32-bit x86 code at all (a kernel
# without IA-32 emulation: every 32-bit program fails with "Exec format error"), the same sources
# are built for x86_64 and run in a 64-bit Wine prefix instead. PALISOR_WINDOWS_ARCH=i686|x86_64
# set beforehand chooses by hand.
#
# Sets PALISOR_WINDOWS_ARCH, PALISOR_TOOLCHAIN (the CMake toolchain file) and PALISOR_WINE (the
# Wine loader to start programs with; for 64-bit also WINELOADER and WINEARCH).

palisor_runs_32bit_code() {
  [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

if [ -z "${PALISOR_WINDOWS_ARCH:-}" ]; then
  if [ ! -x /usr/lib/wine/wine ] || palisor_runs_32bit_code; then
    PALISOR_WINDOWS_ARCH=i686
  else
    PALISOR_WINDOWS_ARCH=x86_64
  fi
fi
export PALISOR_WINDOWS_ARCH
export PALISOR_TOOLCHAIN="cmake/mingw-$PALISOR_WINDOWS_ARCH.cmake"
if [ "$PALISOR_WINDOWS_ARCH" = x86_64 ]; then
  export PALISOR_WINE=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64 WINEARCH=win64
else
  export PALISOR_WINE=wine
fi

# The test build's folder under build/ for this width (the release build's is release, release64).
if [ "$PALISOR_WINDOWS_ARCH" = x86_64 ]; then PALISOR_WINDOWS_BUILD_NAME=win64; else PALISOR_WINDOWS_BUILD_NAME=win32; fi
export PALISOR_WINDOWS_BUILD_NAME

# In the scripts that source this file, wine and its helper commands start the chosen loader.
wine() { "$PALISOR_WINE" "$@"; }
wineboot() { "$PALISOR_WINE" wineboot "$@"; }
winepath() { "$PALISOR_WINE" winepath "$@"; }
