#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and UBSan) in build/fuzz and runs
# each for SECONDS (default 60) on its seed corpus and dictionary, one after the other, one
# process each. New inputs go to build/fuzz/corpus/<target>; a crash leaves its input in
# build/fuzz/crashes/. Prints each target's final libFuzzer stats and ends with
# "fuzz: N passed, N failed"; exits non-zero when a target crashed.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#   scripts/fuzz.sh --smoke [TARGET...]     # 4 seconds each: the test command's smoke run
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${PALISOR_FUZZ_BUILD_DIR:-$ROOT/build/fuzz}

seconds=60
if [ "${1:-}" = "--smoke" ]; then
  seconds=4
  shift
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi

if ! CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_FLAGS="-O1 -g" -DPALISOR_FUZZ=ON \
       -DPALISOR_TESTS=OFF -DPALISOR_WERROR=ON >/dev/null ||
   ! cmake --build "$BUILD" -j2 >"$BUILD/build.log" 2>&1; then
  tail -30 "$BUILD/build.log" 2>/dev/null
  echo "fuzz: build failed"
  echo "fuzz: 0 passed, 1 failed"
  exit 1
fi

targets=("$@")
[ "${#targets[@]}" -gt 0 ] || mapfile -t targets <"$BUILD/fuzz-targets.txt"

passed=0
failed=0
mkdir -p "$BUILD/crashes" "$BUILD/logs"
for target in "${targets[@]}"; do
  [ -n "$target" ] || continue
  work="$BUILD/corpus/$target"
  log="$BUILD/logs/$target.log"
  mkdir -p "$work"
  "$BUILD/bin/$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
      -dict="fuzz/dict/$target.dict" -artifact_prefix="$BUILD/crashes/$target-" \
      "$work" "fuzz/corpus/$target" >"$log" 2>&1
  status=$?
  stats=$(grep -E '^#[0-9]+' "$log" | tail -1)
  execs=$(sed -nE 's/^stat::number_of_executed_units: *//p' "$log")
  if [ "$status" -eq 0 ]; then
    passed=$((passed + 1))
    printf '%-22s ok     %s (execs %s)\n' "$target" "$stats" "${execs:-?}"
  else
    failed=$((failed + 1))
    printf '%-22s FAILED %s\n' "$target" "$stats"
    grep -E 'FUZZ CHECK FAILED|ERROR: AddressSanitizer|runtime error|ERROR: libFuzzer' "$log" | head -3 | sed 's/^/    /'
    grep -E 'Test unit written to' "$log" | sed 's/^/    /'
    echo "    log: $log"
  fi
done

echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
