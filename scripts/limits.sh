#!/usr/bin/env bash
# limits.sh: the vopack tool on inputs whose sizes come near 2^31 - 1, the
# largest that stream positions (ints) hold. Builds the release preset and,
# in a temporary folder removed afterwards, checks that
#   - 1,914,000,000 random bytes compress (a stream just below 2 GiB) and
#     decompress to the same bytes;
#   - 1,914,200,000 random bytes, whose stream would pass 2^31 - 1 bytes, are
#     refused with the "too large" message, exit status 1 and no output file;
#   - a sparse file of 2,147,483,647 zero bytes compresses and decompresses.
# Takes a few minutes and about 6.5 GB of disk; skips with a message when the
# temporary folder's disk has less. Not part of scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

need_kb=$((6500 * 1024))
tmp_parent=${TMPDIR:-/tmp}
free_kb=$(df -Pk "$tmp_parent" | awk 'NR == 2 { print $4 }')
if ((free_kb < need_kb)); then
  echo "limits: skipped, $((free_kb / 1024)) MB free under $tmp_parent, $((need_kb / 1024)) MB needed"
  exit 0
fi

cmake --preset release >/dev/null
cmake --build --preset release --target vopack_cli
tool=$PWD/build/release/tools/vopack/vopack

work=$(mktemp -d "$tmp_parent/vopack-limits.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

failures=0
check() {  # check DESCRIPTION COMMAND...: runs the command, reports the result
  local what=$1
  shift
  if "$@"; then
    echo "limits: ok    $what"
  else
    echo "limits: FAIL  $what"
    failures=$((failures + 1))
  fi
}

refused_as_too_large() {  # the stream of $1 would pass 2^31 - 1 bytes
  local rc=0
  "$tool" compress "$1" "$1.ost" 2>err.txt || rc=$?
  cat err.txt
  # Nothing left behind: no output, no part of one.
  [[ $rc == 1 ]] && grep -q "file of 2 GiB or more" err.txt && [[ $(ls | tr '\n' ' ') == "err.txt $1 " ]]
}

round_trip() {  # compress and decompress $1, compare
  local size
  size=$(stat -c %s "$1")
  "$tool" compress "$1" "$1.ost" || return 1
  echo "  $1: $size bytes -> $(stat -c %s "$1.ost") stream bytes"
  "$tool" decompress "$1.ost" "$1.out" "$size" || return 1
  cmp "$1" "$1.out"
  local rc=$?
  rm -f "$1.ost" "$1.out"
  return $rc
}

echo "limits: writing 1,914,200,000 random bytes"
head -c 1914200000 /dev/urandom >random.bin
check "1,914,200,000 random bytes refused as too large" refused_as_too_large random.bin
truncate -s 1914000000 random.bin
check "1,914,000,000 random bytes round trip" round_trip random.bin
rm -f random.bin

truncate -s 2147483647 zeros.bin
check "2,147,483,647 zero bytes round trip" round_trip zeros.bin

if ((failures)); then
  echo "limits: $failures failed" >&2
  exit 1
fi
echo "limits: all passed"
