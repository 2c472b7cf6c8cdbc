#!/usr/bin/env bash
# The main job: builds both builds, shows the utility unit at work, then runs
# the installer Setup.exe under Wine from a demonstration folder of three
# sample files (on your display, or on Xvfb with the keys a user would press
# and a screenshot of every window).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

step() { printf '\n=== %s\n' "$*"; }

step "native release build"
cmake --preset release >/dev/null
cmake --build --preset release
step "windows build (mingw-w64)"
cmake --preset windows >/dev/null
cmake --build --preset windows

step "utility unit demonstration (native)"
build/release/tools/demo/quorvan-demo

step "utility unit demonstration (Windows build under Wine)"
(
  source scripts/wine-env.sh build/windows
  trap wine_stop EXIT
  wine build/windows/tools/demo/quorvan-demo.exe
)

step "the installer under Wine"
bash scripts/installer-demo.sh build/windows
