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

step "installed package: find_package from another project"
rm -rf build/package
cmake --install build/debug --prefix build/package/prefix >/dev/null
cmake -S tests/package -B build/package/consumer -G Ninja -DCMAKE_CXX_COMPILER=g++ \
  -DCMAKE_PREFIX_PATH="$PWD/build/package/prefix" -DCMAKE_CXX_FLAGS=-fsanitize=address,undefined \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined >/dev/null
cmake --build build/package/consumer
build/package/consumer/consumer

step "clang build"
cmake --preset clang >/dev/null
cmake --build --preset clang

step "clang-tidy over the clang build (.clang-tidy)"
bash scripts/tidy.sh

step "fuzzing, short runs"
bash scripts/fuzz.sh 20

step "windows build (mingw-w64), tests under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows
# shellcheck source=wine-env.sh
source scripts/wine-env.sh build/windows
trap wine_stop EXIT
ctest --preset windows
