#!/usr/bin/env bash
# archive-bench.sh [MB]: vopack against zip, 7z and tar + zstd on the same
# real files of this machine (about MB megabytes, default 200, in a few
# thousand files of varied sizes from /usr/share/doc, /usr/include and
# /usr/lib shared objects). Prints seconds, MB/s (of the input), archive size
# and peak memory (/usr/bin/time) of each create and extract.
# Installs zip, unzip, p7zip-full, zstd and time when missing (the benchmark
# only needs them); builds the release preset.
set -euo pipefail
cd "$(dirname "$0")/.."
target_mb=${1:-200}

need=()
for p in zip unzip p7zip-full zstd time; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if ((${#need[@]})); then
  SUDO=""; [[ $(id -u) -ne 0 ]] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

cmake --preset release >/dev/null && cmake --build --preset release >/dev/null
vopack=$PWD/build/release/tools/vopack/vopack
work=$PWD/build/release/archive-bench
rm -rf "$work" && mkdir -p "$work/in" && cd "$work"

# The corpus: regular files, smallest directories first so sizes vary, under
# flat names a pack can hold (NNNNNN.ext, the extension kept when short).
limit=$((target_mb * 1000000))
total=0 n=0
while IFS= read -r -d '' f; do
  size=$(stat -c %s "$f")
  ((size > 0 && size < 64000000)) || continue
  ext=${f##*.}; [[ $ext =~ ^[A-Za-z0-9]{1,3}$ && $ext != "$f" ]] || ext=bin
  cp "$f" "in/$(printf '%06d' "$n").$ext" 2>/dev/null || continue
  total=$((total + size)); n=$((n + 1))
  ((total < limit)) || break
done < <(find /usr/share/doc /usr/include /usr/lib/x86_64-linux-gnu -type f \( -path '*/usr/lib/*' -name '*.so*' -o ! -path '*/usr/lib/*' \) -print0 2>/dev/null | sort -z)
mb=$(awk -v b="$total" 'BEGIN { printf "%.1f", b / 1e6 }')
echo "corpus: $n files, $mb MB; machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"

# run LABEL ARCHIVE COMMAND...: wall seconds and peak RSS of COMMAND.
printf '\n%-28s %8s %8s %12s %10s\n' operation seconds MB/s archive_MB peak_MiB
run() {
  local label=$1 archive=$2; shift 2
  sync
  /usr/bin/time -f '%e %M' -o time.txt "$@" >/dev/null 2>err.txt || { echo "$label: failed: $(tail -2 err.txt)"; return; }
  read -r secs kb < time.txt
  local size="-"
  [[ -n $archive && -f $archive ]] && size=$(awk -v b="$(stat -c %s "$archive")" 'BEGIN { printf "%.1f", b / 1e6 }')
  awk -v l="$label" -v s="$secs" -v t="$total" -v a="$size" -v k="$kb" \
    'BEGIN { printf "%-28s %8.2f %8.1f %12s %10.1f\n", l, s, (s > 0 ? t / 1e6 / s : 0), a, k / 1024 }'
}
fresh() { rm -rf out && mkdir out; }

files=(in/*)
run "vopack create -j 1" a.pak "$vopack" create -q -j 1 a.pak "${files[@]}"
run "vopack create -j $(nproc)" b.pak "$vopack" create -q -j "$(nproc)" b.pak "${files[@]}"
cmp -s a.pak b.pak || echo "note: -j 1 and -j $(nproc) packs differ"
fresh; run "vopack extract" a.pak "$vopack" extract -q a.pak -C out
fresh; run "zip -6" a.zip zip -q -6 -r a.zip in
fresh; run "unzip" a.zip unzip -q a.zip -d out
fresh; run "7z a -mx1" a.7z 7z a -bd -mx1 a.7z in
fresh; run "7z x" a.7z 7z x -bd -oout a.7z
fresh; run "tar + zstd -1" a.tar.zst tar -I 'zstd -1' -cf a.tar.zst in
fresh; run "tar + zstd -1 -T0" b.tar.zst tar -I 'zstd -1 -T0' -cf b.tar.zst in
fresh; run "tar x (zstd)" a.tar.zst tar -I zstd -xf a.tar.zst -C out
