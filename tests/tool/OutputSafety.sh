#!/usr/bin/env bash
# OutputSafety.sh TOOL WORK CASE: how the vopack tool treats the files around
# its output on POSIX systems (links, FIFOs, devices, signals, permissions).
# Each CASE runs in a fresh WORK folder; a failed check exits non-zero.
set -u
tool=$1 work=$2 case=$3
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1

fail() { echo "FAIL: $*" >&2; exit 1; }

# expect CODE COMMAND...: runs the tool, keeps its stderr in $err.
expect() {
  local code=$1; shift
  timeout 20 "$tool" "$@" >out.txt 2>err.txt
  local rc=$?
  err=$(cat err.txt)
  [[ $rc == "$code" ]] || fail "vopack $*: exit $rc, expected $code: $err"
}

no_temps() { local left; left=$(ls -A | grep '^\.vp' || true); [[ -z $left ]] || fail "temporary files left: $left"; }

printf 'the input of every case\n' > in.txt
"$tool" compress in.txt in.ost || fail "cannot make in.ost"
stream_size=$(stat -c %s in.txt)

case $case in
temp-link)
  # A link planted where a temporary file might go is not followed.
  printf victim > victim
  ln -s victim out.vopack-part
  expect 0 compress in.txt out
  [[ $(cat victim) == victim ]] || fail "the link's target was written"
  cmp -s out in.ost || fail "wrong output"
  ;;
output-link)
  # A link given as OUTPUT is written through: the file it names gets the
  # result, the link stays, and the temporary file went beside the file.
  mkdir real
  printf old > real/file
  ln -s real/file link
  expect 0 compress in.txt link
  [[ -L link ]] || fail "the link was replaced"
  cmp -s real/file in.ost || fail "the link's target does not hold the output"
  ln -s missing dangling
  expect 1 compress in.txt dangling
  [[ -L dangling && ! -e missing ]] || fail "a dangling link was followed or replaced"
  no_temps; (cd real && no_temps)
  ;;
not-regular)
  # Directories, devices and FIFOs are never replaced, and nothing is left.
  mkdir dir
  mkfifo fifo
  targets=(dir fifo)
  # A device of our own (root can make one): a faulty tool must not be able
  # to replace the machine's /dev/null.
  if mknod chardev c 1 3 2>/dev/null; then targets+=(chardev); fi
  for target in "${targets[@]}"; do
    kind=$(stat -c %F "$target")
    expect 1 compress in.txt "$target"
    [[ $err == *"not a regular file"* ]] || fail "no clear message for $target: $err"
    [[ $(stat -c %F "$target") == "$kind" ]] || fail "$target was replaced"
    expect 1 decompress in.ost "$target" "$stream_size"
  done
  [[ -z $(ls -A dir) ]] || fail "something was written into dir"
  no_temps
  ;;
fifo-input)
  # A FIFO without a writer is refused at once, not waited on.
  mkfifo fifo
  expect 1 compress fifo out
  [[ $err == *"not a regular file: fifo"* ]] || fail "compress: $err"
  expect 1 decompress fifo out 10
  expect 1 crc in.txt fifo
  [[ $(cat out.txt) == *"  in.txt" && $err == *"not a regular file: fifo"* ]] || fail "crc: $err"
  [[ ! -e out ]] || fail "output made from a FIFO"
  no_temps
  ;;
signals)
  # An interrupted run removes its temporary file and leaves the old OUTPUT.
  head -c $((48 << 20)) /dev/urandom > big
  for signal in INT TERM HUP; do
    printf 'old output' > out
    before=$(ls -A)
    # Asynchronous commands of a script start with SIGINT ignored.
    env --default-signal=INT,TERM,HUP "$tool" compress big out 2>/dev/null &
    pid=$!
    for _ in $(seq 2000); do
      [[ $(ls -A) != "$before" ]] && break
      sleep 0.005
    done
    [[ $(ls -A) != "$before" ]] || fail "$signal: no temporary file appeared"
    kill -s "$signal" "$pid"
    wait "$pid"
    rc=$?
    [[ $rc -gt 128 ]] || fail "$signal: the run was not interrupted (exit $rc); make big larger"
    [[ $(cat out) == 'old output' ]] || fail "$signal: OUTPUT changed"
    [[ $(ls -A) == "$before" ]] || fail "$signal: files left: $(ls -A)"
  done
  ;;
modes)
  # A replaced file keeps its permission bits; a new one follows the umask;
  # a file compressed onto itself is read whole first.
  printf secret > s
  chmod 600 s
  cp s s.orig
  expect 0 compress s s
  [[ $(stat -c %a s) == 600 ]] || fail "in place: mode $(stat -c %a s)"
  expect 0 decompress s s "$(stat -c %s s.orig)"
  cmp -s s s.orig || fail "in place round trip differs"
  [[ $(stat -c %a s) == 600 ]] || fail "in place decompress: mode $(stat -c %a s)"
  printf old > kept
  chmod 640 kept
  expect 0 compress in.txt kept
  [[ $(stat -c %a kept) == 640 ]] || fail "replaced file: mode $(stat -c %a kept)"
  (umask 027 && "$tool" compress in.txt new027) || fail "compress under umask 027"
  [[ $(stat -c %a new027) == 640 ]] || fail "new file under umask 027: mode $(stat -c %a new027)"
  no_temps
  ;;
*)
  fail "unknown case $case"
  ;;
esac
