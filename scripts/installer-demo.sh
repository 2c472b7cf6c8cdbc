#!/usr/bin/env bash
# Shows the installer at its job: Setup.exe of the Windows build under Wine,
# started from a demonstration folder holding three sample files, in a Wine
# prefix of its own (BUILD_DIR/demo/wineprefix). Builds nothing.
#
#   scripts/installer-demo.sh BUILD_DIR
#
# With a reachable $DISPLAY the dialog opens there for you to use. Without
# one it runs on a private Xvfb display and presses the keys a user would
# (Enter on the dialog, Enter on the closing box), saving a screenshot of
# every window into a folder it names. Either way it lists the prefix's
# system directory afterwards.
set -euo pipefail

KAVRENTA_SOURCE_DIR=$(cd "$(dirname "$0")/.." && pwd)
[[ $# -eq 1 ]] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
E2E_BUILD_DIR=$(cd "$1" && pwd)
E2E_DIR="$E2E_BUILD_DIR/demo"
mkdir -p "$E2E_DIR"
: >"$E2E_DIR/setup.log"

# shellcheck source=../tests/e2e/session.sh
source "$KAVRENTA_SOURCE_DIR/tests/e2e/session.sh"
[[ -f "$E2E_BUILD_DIR/installer/Setup.exe" ]] || e2e_fail "no Setup.exe in $E2E_BUILD_DIR/installer (build the windows preset first)"

interactive=false
if [[ -n "${DISPLAY:-}" ]] && xwininfo -root >/dev/null 2>&1; then interactive=true; fi

trap e2e_stop EXIT
if ! $interactive; then
  e2e_tools_present || e2e_fail "the tools above are needed to run without a display"
  e2e_start_xvfb
fi
e2e_start_wine

readonly FILES=(VCL35.BPL VCL35.JPN BORLNDMM.DLL)
SAMPLES="$E2E_DIR/samples"
rm -rf "$SAMPLES"
e2e_make_samples "$SAMPLES"
# A fresh start: nothing of an earlier demonstration in the system directory.
for f in "${FILES[@]}"; do rm -f "$E2E_SYSTEM_DIR/$f"; done

echo "demonstration folder: $SAMPLES"
LC_ALL=C ls -l "$SAMPLES"
e2e_start_setup "$SAMPLES"

if $interactive; then
  echo "Setup.exe is open on $DISPLAY: press OK (or Enter) to install, Cancel (or Esc) to leave."
  wait "$E2E_SETUP_PID" || true
else
  E2E_SHOTS="$E2E_DIR/screenshots-$(date +%Y%m%d-%H%M%S)"
  mkdir -p "$E2E_SHOTS"
  echo "screenshots: $E2E_SHOTS"
  dialog=$(e2e_wait_window "Kavrenta RTLインストール" 60) || e2e_fail "the dialog did not appear"
  e2e_shot "$dialog" 01-dialog
  e2e_key Return
  box=$(e2e_wait_window "終了" 30) || e2e_fail "the closing box did not appear"
  e2e_shot "$box" 02-finished
  e2e_key Return
  e2e_wait_exit 30 || e2e_fail "Setup.exe did not end"
fi

echo
echo "system directory $E2E_SYSTEM_DIR afterwards:"
for f in "${FILES[@]}"; do
  if [[ -e "$E2E_SYSTEM_DIR/$f" ]]; then
    printf '  %-13s %s\n' "$f" "$(cat "$E2E_SYSTEM_DIR/$f")"
  else
    printf '  %-13s (not installed)\n' "$f"
  fi
done
