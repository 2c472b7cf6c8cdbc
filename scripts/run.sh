#!/usr/bin/env bash
# The main job: builds both builds and shows the utility unit at work.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release
cmake --preset windows >/dev/null
cmake --build --preset windows
echo
echo "=== demonstration (native)"
build/release/tools/quorvan-demo
source scripts/wine-env.sh build/windows
trap wine_stop EXIT
echo
echo "=== demonstration (Windows build under Wine)"
wine build/windows/tools/quorvan-demo.exe
