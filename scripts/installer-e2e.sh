#!/usr/bin/env bash
# End to end, as a user would: Setup.exe of the Windows build under Wine on a
# private Xvfb display, driven by keys.
#
#   scripts/installer-e2e.sh BUILD_DIR [SCREENSHOT_DIR]
#
# 1. From a folder of three sample files: the dialog (client 360 x 128 at
#    469,119), Enter, the closing box "終了", Enter: the program ends and the
#    three files are in the prefix's system32 with their contents.
# 2. Again, with one sample changed but its time kept: the same-time-stamp
#    question comes (Cancel is its default), Enter keeps the installed file.
# 3. With nothing installed: Esc ends the program and installs nothing.
# Screenshots of the dialog and of every box go to SCREENSHOT_DIR (default
# BUILD_DIR/e2e/screenshots). Exit 0 when every check holds, 77 when a tool
# is missing.
set -euo pipefail

KAVRENTA_SOURCE_DIR=$(cd "$(dirname "$0")/.." && pwd)
[[ $# -ge 1 ]] || { echo "usage: $0 BUILD_DIR [SCREENSHOT_DIR]" >&2; exit 2; }
E2E_BUILD_DIR=$(cd "$1" && pwd)
E2E_DIR="$E2E_BUILD_DIR/e2e"
E2E_SHOTS=${2:-"$E2E_DIR/screenshots"}
mkdir -p "$E2E_DIR" "$E2E_SHOTS"
: >"$E2E_DIR/setup.log"
E2E_SHOTS=$(cd "$E2E_SHOTS" && pwd)

# shellcheck source=../tests/e2e/session.sh
source "$KAVRENTA_SOURCE_DIR/tests/e2e/session.sh"
e2e_tools_present || exit 77
[[ -f "$E2E_BUILD_DIR/installer/Setup.exe" ]] || e2e_fail "no Setup.exe in $E2E_BUILD_DIR/installer"

trap e2e_stop EXIT
e2e_start_xvfb
e2e_start_wine

readonly DIALOG="Kavrenta RTLインストール"
readonly FILES=(VCL35.BPL VCL35.JPN BORLNDMM.DLL)
# Wine draws a dialog frame of 3 pixels on each side and a 19-pixel caption
# (its default metrics) around the client area.
readonly FRAME=3 CAPTION=19

SOURCE="$E2E_DIR/source"
rm -rf "$SOURCE"
e2e_make_samples "$SOURCE"
remove_installed() { local f; for f in "${FILES[@]}"; do rm -f "$E2E_SYSTEM_DIR/$f"; done; }
remove_installed

# --- 1. install
e2e_note "run 1: Enter installs the three files"
e2e_start_setup "$SOURCE"
dialog=$(e2e_wait_window "$DIALOG" 60) || e2e_fail "no window \"$DIALOG\""
e2e_shot "$dialog" 01-dialog
e2e_geometry "$dialog"
[[ $X -eq 469 && $Y -eq 119 ]] || e2e_fail "dialog at $X,$Y, designed at 469,119"
client_width=$((WIDTH - 2 * FRAME)) client_height=$((HEIGHT - 2 * FRAME - CAPTION))
[[ $client_width -eq 360 && $client_height -eq 128 ]] ||
  e2e_fail "client area ${client_width}x${client_height} (window ${WIDTH}x${HEIGHT}), designed 360x128"
e2e_note "dialog at $X,$Y, window ${WIDTH}x${HEIGHT}, client ${client_width}x${client_height}"
e2e_key Return
box=$(e2e_wait_window "終了" 30) || e2e_fail "no closing box \"終了\" after Enter"
e2e_shot "$box" 02-finished
e2e_key Return
e2e_wait_exit 30 || e2e_fail "Setup.exe still running after the closing box"
for f in "${FILES[@]}"; do
  cmp -s "$SOURCE/$f" "$E2E_SYSTEM_DIR/$f" || e2e_fail "$f not installed as it was in the source folder"
done
e2e_note "installed: ${FILES[*]}"

# --- 2. same time stamp: Enter keeps the installed files
e2e_note "run 2: the same-time-stamp question, Enter keeps the file"
printf 'changed, same time\n' >"$SOURCE/VCL35.BPL.new"
touch -r "$SOURCE/VCL35.BPL" "$SOURCE/VCL35.BPL.new"
mv "$SOURCE/VCL35.BPL.new" "$SOURCE/VCL35.BPL"
e2e_start_setup "$SOURCE"
dialog=$(e2e_wait_window "$DIALOG" 60) || e2e_fail "no window \"$DIALOG\" on the second start"
e2e_key Return
for i in 1 2 3; do
  question=$(e2e_wait_window "確認" 30) || e2e_fail "no question \"確認\" for file $i"
  [[ $i -eq 1 ]] && e2e_shot "$question" 03-same-timestamp
  e2e_key Return
  # The next box is a new window; wait until this one has gone.
  for _ in $(seq 50); do xwininfo -id "$question" >/dev/null 2>&1 || break; sleep 0.1; done
done
box=$(e2e_wait_window "終了" 30) || e2e_fail "no closing box after the questions"
e2e_shot "$box" 04-finished-kept
e2e_key Return
e2e_wait_exit 30 || e2e_fail "Setup.exe still running after the second closing box"
[[ "$(cat "$E2E_SYSTEM_DIR/VCL35.BPL")" == "sample VCL35.BPL" ]] ||
  e2e_fail "VCL35.BPL was overwritten although Enter (Cancel) was pressed"
e2e_note "kept: VCL35.BPL unchanged"

# --- 3. Esc installs nothing
e2e_note "run 3: Esc ends the program with nothing installed"
remove_installed
e2e_start_setup "$SOURCE"
dialog=$(e2e_wait_window "$DIALOG" 60) || e2e_fail "no window \"$DIALOG\" on the third start"
e2e_shot "$dialog" 05-dialog-before-esc
e2e_key Escape
e2e_wait_exit 30 || e2e_fail "Setup.exe still running after Esc"
for f in "${FILES[@]}"; do
  [[ ! -e "$E2E_SYSTEM_DIR/$f" ]] || e2e_fail "$f installed although Esc was pressed"
done
e2e_note "nothing installed"

echo "PASS: installer end to end; screenshots in $E2E_SHOTS"
