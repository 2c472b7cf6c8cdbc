#!/usr/bin/env bash
# Builds both builds and runs every test: native ctest (g++, ASan + UBSan),
# a clang build, short fuzzing runs, then the Windows build's ctest under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

step() { printf '\n=== %s\n' "$*"; }

step "native debug build (g++, sanitizers)"
cmake --preset debug >/dev/null
cmake --build --preset debug
ctest --preset debug

step "clang build"
cmake --preset clang >/dev/null
cmake --build --preset clang

if [[ -x scripts/fuzz.sh ]]; then
  step "fuzzing, short runs"
  bash scripts/fuzz.sh 20
fi

step "windows build (mingw-w64), tests under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows
# shellcheck source=wine-env.sh
source scripts/wine-env.sh build/windows
trap wine_stop EXIT
ctest --preset windows
