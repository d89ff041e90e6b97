#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, when they are missing.
set -euo pipefail

packages=(cmake ninja-build g++ python3 libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev fonts-noto-cjk clang libclang-rt-14-dev)
missing=()
for pkg in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
