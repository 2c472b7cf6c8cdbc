#!/usr/bin/env bash
# Installs the Debian packages the builds, tests and benchmarks need; does
# nothing when they are all present. Safe to run again.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang clang-tidy clang-format libclang-rt-14-dev python3 googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix wine wine64 xvfb xdotool x11-utils imagemagick fonts-ipafont-gothic locales
  zlib1g-dev liblz4-dev libzstd-dev libcli11-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [[ $(id -u) -ne 0 ]] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
