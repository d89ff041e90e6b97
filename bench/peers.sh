#!/usr/bin/env bash
# Whole-process benchmark of toneweld beside the text-to-MIDI tools a user could pick instead:
# abc2midi (an ABC tune) and csvmidi (a midicsv event list), on the same notes. Installs what is
# missing, builds the optimised toneweld, generates the sources in build/bench/, times and
# measures every run and prints the table. Options go to bench/peers.py (--help lists them).
#
#   bash bench/peers.sh            # the full run, about two minutes
#   bash bench/peers.sh --quick    # fewer runs, for a first look
#
# A benchmark, not a test: nothing here runs in the test pass.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

# The peers and the measuring tools. hyperfine is optional: without it peers.py times the runs
# itself.
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing=()
for pkg in abcmidi midicsv time python3; do
  installed "$pkg" || missing+=("$pkg")
done
if ((${#missing[@]})) || ! installed hyperfine; then
  $sudo apt-get update -qq
fi
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if ! installed hyperfine; then
  echo "Installing: hyperfine"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends hyperfine >/dev/null ||
    echo "hyperfine is not available: timing the runs without it"
fi

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target toneweld compile_bench

exec python3 bench/peers.py "$@"
