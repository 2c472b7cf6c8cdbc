#!/usr/bin/env bash
# fuzz.sh [SECONDS]: builds the libFuzzer targets (preset "fuzz") and runs each
# for SECONDS seconds (default 20) on its corpus under build/fuzz/corpus,
# seeded from fuzz/corpus/<target>/ where that exists. Fails if any target
# finds a crash; the input that caused it is kept under build/fuzz/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

# Roundtrip inputs stretch themselves; the others need no long inputs.
max_len() {
  case $1 in
    fuzz_decode) echo 20000 ;;
    fuzz_pack_read) echo 8192 ;;
    *) echo 4096 ;;
  esac
}

failed=()
for program in build/fuzz/fuzz/fuzz_*; do
  [[ -x $program && -f $program ]] || continue
  target=$(basename "$program")
  corpus=build/fuzz/corpus/$target
  artifacts=build/fuzz/artifacts/$target
  mkdir -p "$corpus" "$artifacts"
  seeds=()
  [[ -d fuzz/corpus/$target ]] && seeds=("fuzz/corpus/$target")
  printf '\n=== %s for %s s\n' "$target" "$seconds"
  if ! "$program" -max_total_time="$seconds" -max_len="$(max_len "$target")" -timeout=30 \
       -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "${seeds[@]}" 2>"$artifacts/log.txt"; then
    tail -40 "$artifacts/log.txt"
    failed+=("$target")
  else
    grep -E '^stat::(number_of_executed_units|new_units_added|peak_rss_mb)' "$artifacts/log.txt" || true
  fi
done

if ((${#failed[@]})); then
  echo "fuzz: crashes in ${failed[*]} (inputs under build/fuzz/artifacts)" >&2
  exit 1
fi
echo "fuzz: no crashes"
