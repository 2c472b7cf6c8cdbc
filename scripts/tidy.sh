#!/usr/bin/env bash
# tidy.sh: runs clang-tidy (checks in .clang-tidy) over the units, the
# platform and class-library layers and the tools, using the clang build's
# compile commands. Any finding fails.
set -euo pipefail
cd "$(dirname "$0")/.."
[[ -f build/clang/compile_commands.json ]] || { cmake --preset clang >/dev/null && cmake --build --preset clang; }
log=build/clang/tidy.log
if ! run-clang-tidy -p build/clang -j "$(nproc)" -quiet '/(platform|classlib|quorvan|vopack|tools)/' >"$log" 2>&1 ||
   grep -qE '(warning|error): ' "$log"; then
  grep -E -A3 '(warning|error): ' "$log" | head -80
  echo "tidy: findings above (full log: $log)" >&2
  exit 1
fi
echo "tidy: clean"
