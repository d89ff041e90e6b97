#!/usr/bin/env bash
# Compiles at the bounds: the worst cases of time and memory (README "Limits"). Installs what is
# missing, builds the optimised toneweld, generates the sources in build/limits/ (about 300 MB)
# and prints the table. A benchmark, not a test: nothing here runs in the test pass.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
if ! [ -x /usr/bin/time ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends time >/dev/null
fi
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target toneweld

exec python3 bench/limits.py
