#!/usr/bin/env bash
# PackSafety.sh TOOL WORK CASE: a change to a pack that fails or is cut short
# leaves the old pack as it was (POSIX: file size limits, signals, folders).
set -u
tool=$1 work=$2 case=$3
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1

fail() { echo "FAIL: $*" >&2; exit 1; }
no_temps() { local left; left=$(ls -A | grep -E '^\.vp|^VoTmp' || true); [[ -z $left ]] || fail "temporary files left: $left"; }

# A pack of some size, and a large compressible file to add to it.
seq 1 200000 > small.txt
seq 1 3000000 > big.txt
"$tool" create -q old.pak small.txt || fail "cannot make old.pak"
cp old.pak old.orig
unchanged() { cmp -s old.pak old.orig || fail "old.pak changed"; "$tool" test -q old.pak || fail "old.pak unreadable"; }

case $case in
full-disk)
  # A file size limit below the new pack's size: the write fails with the
  # system's reason (EFBIG), as on a full disk.
  limit_kb=$(( $(stat -c %s old.pak) / 1024 + 200 ))
  (ulimit -f "$limit_kb"; "$tool" add -q old.pak big.txt) 2>err.txt && fail "add beyond the limit succeeded"
  grep -q "cannot write: old.pak: File too large" err.txt || fail "no clear message: $(cat err.txt)"
  unchanged; no_temps
  (ulimit -f "$limit_kb"; "$tool" create -q new.pak big.txt) 2>/dev/null && fail "create beyond the limit succeeded"
  [[ ! -e new.pak ]] || fail "a failed create left new.pak"
  no_temps
  ;;
killed)
  # SIGKILL at some point of the change: the old pack is intact (only the
  # temporary file beside it may remain; the tool never saw the signal).
  for delay in 0.05 0.2 0.5; do
    "$tool" add -q -j 1 old.pak big.txt 2>/dev/null & pid=$!
    sleep "$delay"; kill -KILL "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    if "$tool" list -q old.pak | grep -q big.txt; then
      "$tool" test -q old.pak || fail "the new pack is not complete"
      cp old.orig old.pak
    else
      unchanged
    fi
  done
  ;;
interrupted)
  # SIGTERM and SIGINT: the temporary file goes too.
  for signal in TERM INT; do
    "$tool" add -q -j 1 old.pak big.txt 2>/dev/null & pid=$!
    sleep 0.1; kill -"$signal" "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    "$tool" list -q old.pak | grep -q big.txt && cp old.orig old.pak
    unchanged; no_temps
  done
  ;;
not-regular-source)
  mkdir folder; mkfifo fifo
  for source in folder fifo missing; do
    timeout 20 "$tool" add -q old.pak "$source" 2>err.txt && fail "added $source"
    grep -q "$source" err.txt || fail "no message naming $source: $(cat err.txt)"
    unchanged; no_temps
  done
  ;;
shrinking-source)
  # A file that holds fewer bytes than its size said (a sysfs file: 4096
  # bytes by its size, a few in fact), as a file that shrinks while it is
  # read: refused with a message, on one thread and on several.
  source=""
  for f in /sys/kernel/uevent_seqnum /sys/devices/system/cpu/online /sys/kernel/profiling; do
    [[ -r $f && $(stat -c %s "$f") -gt $(wc -c < "$f") ]] && { source=$f; break; }
  done
  [[ -n $source ]] || { echo "no short sysfs file here: skipped"; exit 77; }
  seq 1 1000 > other.txt
  for jobs in 1 2; do
    "$tool" add -q -j "$jobs" old.pak other.txt "$source" 2>err.txt && fail "a short source was added (-j $jobs)"
    grep -q "changed while it was read" err.txt || fail "no clear message (-j $jobs): $(cat err.txt)"
    unchanged; no_temps
  done
  ;;
unwritable-cwd)
  # The current folder cannot take a temporary file: nothing needs one.
  (cd /proc && "$tool" create -q "$work/new.pak" "$work/big.txt" && "$tool" add -q "$work/new.pak" "$work/small.txt") ||
    fail "create or add from an unwritable folder failed"
  "$tool" test -q new.pak || fail "new.pak unsound"
  ;;
*) fail "unknown case $case" ;;
esac
exit 0
