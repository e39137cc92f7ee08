#!/usr/bin/env bash
# Builds the native benchmarks (release) and runs each of them; they print their own figures.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DPALISOR_BENCH=ON -DPALISOR_TESTS=OFF >/dev/null
cmake --build build/bench -j"$(nproc)"
for bench in build/bench/bench/*; do
  [ -f "$bench" ] && [ -x "$bench" ] || continue
  if [ $# -gt 0 ] && [[ "$(basename "$bench")" != *"$1"* ]]; then continue; fi
  echo "== $(basename "$bench")"
  "$bench"
done
