#!/usr/bin/env bash
# Builds everything and runs every test: once optimised, once under AddressSanitizer and
# UndefinedBehaviorSanitizer; then fuzzes the compiler and the MLD patcher for a minute each.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
for preset in release asan; do
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset tests"
  ctest --preset "$preset" -j "$jobs"
done
echo "== fuzzing"
bash scripts/fuzz.sh 60
