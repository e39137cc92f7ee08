#!/usr/bin/env bash
# Builds both configurations and runs every test: the native unit tests (sanitized), the Windows
# build of the same unit tests and the window tests under Wine, then the end-to-end tests under
# Wine, in a throwaway Wine prefix inside the build tree, on a private Xvfb display.
# Ends with one line "summary: N passed, N failed"; exits non-zero on any failure. A failed
# end-to-end test keeps its evidence in build/e2e/failures/ (the summary names it).
#
#   scripts/test.sh                    one run
#   scripts/test.sh --under-load [N]   N runs (default 5) one after another while stress-ng keeps
#                                      one core busy; prints each run's summary and time
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${PALISOR_BUILD_DIR:-$ROOT/build}

if [ "${1:-}" = "--under-load" ]; then
  runs=${2:-5}
  bash scripts/setup.sh >/dev/null || exit 1
  mkdir -p "$BUILD"
  stress-ng --cpu 1 --quiet &
  stress_pid=$!
  trap 'kill $stress_pid 2>/dev/null' EXIT
  green=0
  for ((run = 1; run <= runs; ++run)); do
    started=$(date +%s)
    bash scripts/test.sh >"$BUILD/under-load-$run.log" 2>&1
    status=$?
    [ "$status" -eq 0 ] && green=$((green + 1))
    evidence=""
    if [ -d "$BUILD/e2e/failures" ]; then  # the next run starts afresh: keep this run's evidence
      rm -rf "$BUILD/under-load-$run-failures"
      mv "$BUILD/e2e/failures" "$BUILD/under-load-$run-failures"
      evidence=", evidence: $BUILD/under-load-$run-failures"
    fi
    echo "run $run: $(tail -n 1 "$BUILD/under-load-$run.log") in $(($(date +%s) - started)) s (log: $BUILD/under-load-$run.log$evidence)"
  done
  echo "under load: $green of $runs runs passed"
  [ "$green" -eq "$runs" ]
  exit
fi

bash scripts/setup.sh || { echo "summary: 0 passed, 1 failed"; exit 1; }
. scripts/wine-arch.sh
WIN_BUILD=$BUILD/win32
[ "$PALISOR_WINDOWS_ARCH" = i686 ] || WIN_BUILD=$BUILD/win64

passed=0
failed=0
log() { printf '\n==== %s\n' "$*"; }
count() {  # count NAME PASSED FAILED
  passed=$((passed + $2)); failed=$((failed + $3))
  printf '%s: %d passed, %d failed\n' "$1" "$2" "$3"
}
gtest_counts() {  # gtest_counts NAME LOGFILE EXITCODE
  local p f
  p=$(grep -oE '^\[  PASSED  \] [0-9]+' "$2" | grep -oE '[0-9]+$' | tail -1)
  f=$(grep -oE '^\[  FAILED  \] [0-9]+ test' "$2" | grep -oE '[0-9]+' | tail -1)
  p=${p:-0}; f=${f:-0}
  if [ "$3" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; fi
  count "$1" "$p" "$f"
}
# logged LOGFILE SECONDS COMMAND...: runs COMMAND with its output in LOGFILE, shown as it grows,
# and returns its exit status (124 when it ran out of SECONDS). The output goes to a file, not a
# pipe: a Wine process the command leaves behind (a restarted explorer.exe, say) may keep its
# output open, which would keep a pipe's reader waiting for ever; a file's reader stops with the
# command.
logged() {
  local logfile=$1 seconds=$2 pid tail_pid status
  shift 2
  : >"$logfile"
  timeout --kill-after=10 "$seconds" "$@" >>"$logfile" 2>&1 &
  pid=$!
  tail -n +1 -f --pid="$pid" "$logfile" &
  tail_pid=$!
  wait "$pid"
  status=$?
  wait "$tail_pid"
  [ "$status" -eq 124 ] && echo "timed out after $seconds s: $*"
  return "$status"
}

log "native build (AddressSanitizer, UBSan)"
if cmake -S . -B "$BUILD/native" -DCMAKE_BUILD_TYPE=Debug -DPALISOR_SANITIZE=ON -DPALISOR_WERROR=ON >/dev/null &&
   cmake --build "$BUILD/native" -j"$(nproc)"; then
  log "native unit tests"
  logged "$BUILD/native-unit.log" 900 "$BUILD/native/tests/unit_tests" --gtest_brief=1
  gtest_counts "native unit tests" "$BUILD/native-unit.log" $?
else
  count "native build" 0 1
fi

log "fuzz smoke run (libFuzzer, a few seconds per target on its corpus)"
logged "$BUILD/fuzz-smoke.log" 900 env PALISOR_FUZZ_BUILD_DIR="$BUILD/fuzz" bash scripts/fuzz.sh --smoke
p=$(sed -nE 's/^fuzz: ([0-9]+) passed.*/\1/p' "$BUILD/fuzz-smoke.log" | tail -1)
f=$(sed -nE 's/^fuzz: [0-9]+ passed, ([0-9]+) failed.*/\1/p' "$BUILD/fuzz-smoke.log" | tail -1)
count "fuzz targets" "${p:-0}" "${f:-1}"

log "Windows build (MinGW-w64 $PALISOR_WINDOWS_ARCH)"
[ "$PALISOR_WINDOWS_ARCH" = i686 ] ||
  echo "this machine runs no 32-bit x86 code: the Windows tests run the x86_64 build of the same sources"
if cmake -S . -B "$WIN_BUILD" -DCMAKE_TOOLCHAIN_FILE="$PALISOR_TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
       -DPALISOR_WERROR=ON -DPALISOR_TESTS=ON -DPALISOR_LIBJPEG_DIR="$BUILD/deps/libjpeg-$PALISOR_WINDOWS_ARCH" >/dev/null &&
   cmake --build "$WIN_BUILD" -j"$(nproc)"; then
  win_ok=1
  # The installer is part of the build (target palisor_installer, makensis from setup.sh).
  if [ -f "$WIN_BUILD/PalisorSetup.exe" ]; then count "installer (PalisorSetup.exe)" 1 0
  else count "installer (PalisorSetup.exe)" 0 1; fi
else
  win_ok=0
  count "Windows build" 0 1
fi

if [ "$PALISOR_WINDOWS_ARCH" != i686 ]; then
  log "32-bit Windows build (MinGW-w64 i686): what ships, compiled here but not run"
  if cmake -S . -B "$BUILD/win32" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
         -DPALISOR_WERROR=ON -DPALISOR_TESTS=ON -DPALISOR_LIBJPEG_DIR="$BUILD/deps/libjpeg-i686" >/dev/null &&
     cmake --build "$BUILD/win32" -j"$(nproc)" >"$BUILD/win32-build.log" 2>&1; then
    count "32-bit Windows build" 1 0
  else
    tail -n 30 "$BUILD/win32-build.log"
    count "32-bit Windows build" 0 1
  fi
fi

if [ "$win_ok" -eq 1 ]; then
  log "Wine prefix and display"
  export WINEPREFIX="$BUILD/e2e/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export PALISOR_WIN32_BUILD="$WIN_BUILD" PALISOR_E2E_WORK="$BUILD/e2e"
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  mkdir -p "$BUILD/e2e"
  display_number=$((120 + RANDOM % 100))
  Xvfb ":$display_number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$display_number"
  trap 'wineserver -k 2>/dev/null; kill $xvfb_pid 2>/dev/null' EXIT
  "$PALISOR_WINE" wineboot -i >/dev/null 2>&1
  wineserver -p

  log "Windows unit tests under Wine"
  logged "$BUILD/wine-unit.log" 900 "$PALISOR_WINE" "$WIN_BUILD/tests/unit_tests.exe" --gtest_brief=1
  gtest_counts "Windows unit tests" "$BUILD/wine-unit.log" $?

  if [ -f "$WIN_BUILD/tests/win32_tests.exe" ]; then
    log "window tests under Wine"
    logged "$BUILD/wine-win32.log" 1200 "$PALISOR_WINE" "$WIN_BUILD/tests/win32_tests.exe" --gtest_brief=1
    gtest_counts "window tests" "$BUILD/wine-win32.log" $?
  fi

  log "end-to-end tests under Wine"
  logged "$BUILD/e2e.log" 2700 python3 tests/e2e/run.py
  e2e_status=$?
  p=$(sed -nE 's/^e2e: ([0-9]+) passed.*/\1/p' "$BUILD/e2e.log" | tail -1)
  f=$(sed -nE 's/^e2e: [0-9]+ passed, ([0-9]+) failed.*/\1/p' "$BUILD/e2e.log" | tail -1)
  p=${p:-0}; f=${f:-0}
  if [ "$e2e_status" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; fi
  count "end-to-end tests" "$p" "$f"
  evidence=$(sed -nE 's/^e2e: evidence of the failures kept in (.*)/\1/p' "$BUILD/e2e.log" | tail -1)

  log "Wine benchmarks, a few rounds each (figures are not checked: each must run to its end)"
  bench_passed=0
  bench_failed=0
  bench() {  # bench NAME COMMAND...
    if timeout 900 "${@:2}" >"$BUILD/bench-$1.log" 2>&1; then
      bench_passed=$((bench_passed + 1))
      echo "$1: ran"
    else
      bench_failed=$((bench_failed + 1))
      echo "$1: FAILED (log: $BUILD/bench-$1.log)"
      tail -n 20 "$BUILD/bench-$1.log"
    fi
  }
  bench hook python3 tests/e2e/bench_hook.py 50
  bench guarded-start python3 tests/e2e/bench_guarded_start.py 3
  bench process-list python3 tests/e2e/bench_process_list.py 20 2
  bench load python3 tests/e2e/bench_load.py 4 200
  bench idle-cpu python3 tests/e2e/bench_idle_cpu.py 3
  bench startup bash scripts/startup-bench.sh "$WIN_BUILD" 1
  count "Wine benchmarks" "$bench_passed" "$bench_failed"
fi

echo
[ -n "${evidence:-}" ] && echo "evidence of the failed end-to-end tests: $evidence"
echo "summary: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
