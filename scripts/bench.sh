#!/usr/bin/env bash
# Builds the bench preset (g++ release) and runs the benchmark programs, then
# sums up the figures the project holds itself to. Usage:
#   scripts/bench.sh [min-time-seconds]     (default 0.5)
# JSON results land in build/bench/results/.
set -euo pipefail
cd "$(dirname "$0")/.."
min_time="${1:-0.5}"

cmake --preset bench >/dev/null
cmake --build --preset bench --target EncodeBench DecodeBench CrcBench

out=build/bench/results
mkdir -p "$out"
printf 'machine: %s cores, %s\n' "$(nproc)" "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
for program in EncodeBench DecodeBench CrcBench; do
  printf '\n=== %s\n' "$program"
  "build/bench/bench/$program" --benchmark_min_time="$min_time" \
    --benchmark_out="$out/$program.json" --benchmark_out_format=json
done

python3 - "$out" <<'PY'
import json, sys, os
rate = {}
extra = {}
for name in ("EncodeBench", "DecodeBench", "CrcBench"):
    with open(os.path.join(sys.argv[1], name + ".json")) as f:
        for b in json.load(f)["benchmarks"]:
            key = b["name"].split("/real_time")[0].split("/iterations:")[0]
            if "bytes_per_second" in b:
                rate[key] = b["bytes_per_second"] / 1e6
            extra[key] = b

def ratio(a, b):
    return rate[a] / rate[b] if a in rate and b in rate else float("nan")

print("\n=== targets")
for corpus in ("text", "cpp"):
    r = ratio(f"EncodeSlice/ostrel/{corpus}", f"EncodeSlice/exhaustive/{corpus}")
    print(f"encoder vs exhaustive search, {corpus} (64 KiB slice): {r:7.1f}x  (target >= 100x)")
    r = ratio(f"Encode/ostrel/{corpus}", f"Encode/zlib-1/{corpus}")
    print(f"encoder vs zlib -1, {corpus}:                          {r:7.2f}x  (aim 1x)")
r = ratio("Decode/ostrel/text", "Decode/zlib-6/text")
print(f"decoder vs zlib, text:                                {r:7.2f}x  (target >= 3x)")
for corpus in ("text", "cpp", "exe"):
    r = ratio(f"Crc/TCrcCheck/{corpus}", f"Crc/byte-table/{corpus}")
    print(f"CRC vs byte-at-a-time table, {corpus}:                   {r:7.2f}x  (target >= 8x)")
state = extra.get("Encode/ostrel/text", {}).get("state_bytes")
if state:
    print(f"encoder memory while open: {int(state)} bytes = {state / 1024:.1f} KiB  (target < 256 KiB)")
PY
