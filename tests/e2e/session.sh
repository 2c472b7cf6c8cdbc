# Sourced by the installer's end-to-end and demonstration scripts: a private
# X server, Setup.exe under Wine in a prefix of its own, and the windows it
# shows, found by caption and pressed with keys as a user would.
#
# Needs E2E_BUILD_DIR (the Windows build), KAVRENTA_SOURCE_DIR and E2E_DIR (a scratch folder
# under it, which holds the prefix, so the prefix's server is ours alone).

e2e_fail() { echo "FAIL: $*" >&2; exit 1; }
e2e_note() { echo "e2e: $*"; }

e2e_tools_present() {
  local tool
  for tool in Xvfb xdotool xwininfo import convert wine wineserver; do
    command -v "$tool" >/dev/null 2>&1 || { echo "missing tool: $tool" >&2; return 1; }
  done
}

# Starts Xvfb on a display it picks itself (so two runs never collide) and
# exports DISPLAY.
e2e_start_xvfb() {
  local fifo="$E2E_DIR/displayfd"
  rm -f "$fifo"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >"$E2E_DIR/xvfb.log" 2>&1 &
  E2E_XVFB_PID=$!
  local number
  read -r -t 20 number <"$fifo" || e2e_fail "Xvfb did not start (see $E2E_DIR/xvfb.log)"
  rm -f "$fifo"
  export DISPLAY=":$number"
  e2e_note "Xvfb on $DISPLAY"
}

# Wine in the prefix under E2E_DIR (prepared once: Managed=N, the Japanese
# font replacements and locale of wine-env.sh).
e2e_start_wine() {
  # shellcheck source=../../scripts/wine-env.sh
  source "$KAVRENTA_SOURCE_DIR/scripts/wine-env.sh" "$E2E_DIR" >/dev/null
  E2E_SYSTEM_DIR="$WINEPREFIX/drive_c/windows/system32"
}

e2e_stop() {
  if [[ -n "${E2E_SETUP_PID:-}" ]] && kill -0 "$E2E_SETUP_PID" 2>/dev/null; then kill "$E2E_SETUP_PID" 2>/dev/null || true; fi
  if declare -F wine_stop >/dev/null; then wine_stop; fi
  if [[ -n "${E2E_XVFB_PID:-}" ]]; then kill "$E2E_XVFB_PID" 2>/dev/null || true; wait "$E2E_XVFB_PID" 2>/dev/null || true; fi
}

# Starts Setup.exe with the given folder as its current directory.
e2e_start_setup() {
  (cd "$1" && exec wine "$E2E_BUILD_DIR/installer/Setup.exe" >>"$E2E_DIR/setup.log" 2>&1) &
  E2E_SETUP_PID=$!
}

# Prints the id of the visible window whose caption is exactly $1, waiting up
# to $2 seconds.
e2e_wait_window() {
  local caption=$1 timeout=${2:-30} id
  local deadline=$((SECONDS + timeout))
  while ((SECONDS < deadline)); do
    for id in $(xdotool search --onlyvisible --name "^${caption}\$" 2>/dev/null); do
      echo "$id"
      return 0
    done
    sleep 0.3
  done
  return 1
}

e2e_wait_exit() {
  local timeout=${1:-20}
  local deadline=$((SECONDS + timeout))
  while ((SECONDS < deadline)); do
    kill -0 "$E2E_SETUP_PID" 2>/dev/null || { wait "$E2E_SETUP_PID" 2>/dev/null; return 0; }
    sleep 0.3
  done
  return 1
}

# Sets X, Y, WIDTH, HEIGHT to the window's outer geometry.
e2e_geometry() {
  local info
  info=$(xwininfo -id "$1")
  X=$(awk '/Absolute upper-left X:/ {print $4}' <<<"$info")
  Y=$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$info")
  WIDTH=$(awk '/Width:/ {print $2}' <<<"$info")
  HEIGHT=$(awk '/Height:/ {print $2}' <<<"$info")
}

# Saves the window (and a margin around it) as $2.png under E2E_SHOTS.
e2e_shot() {
  local id=$1 name=$2
  sleep 0.5  # let it paint
  e2e_geometry "$id"
  local margin=8
  local left=$((X > margin ? X - margin : 0)) top=$((Y > margin ? Y - margin : 0))
  import -window root "$E2E_SHOTS/$name-screen.png"
  convert "$E2E_SHOTS/$name-screen.png" -crop "$((WIDTH + 2 * margin))x$((HEIGHT + 2 * margin))+$left+$top" +repage \
    "$E2E_SHOTS/$name.png"
  rm -f "$E2E_SHOTS/$name-screen.png"
  e2e_note "screenshot $E2E_SHOTS/$name.png"
}

# A key as a user types it, into the window that has the focus.
e2e_key() { xdotool key "$1"; }

e2e_make_samples() {
  mkdir -p "$1"
  local name
  for name in VCL35.BPL VCL35.JPN BORLNDMM.DLL; do
    printf 'sample %s\n' "$name" >"$1/$name"
  done
}
