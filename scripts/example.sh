#!/usr/bin/env bash
# Builds toneweld and compiles the bundled example song, printing the compile log.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target toneweld >/dev/null
mkdir -p build/example
cp examples/harbor-lights.mml build/example/
build/release/cli/toneweld compile --seed 1 build/example/harbor-lights.mml
