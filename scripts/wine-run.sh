#!/usr/bin/env bash
# CMAKE_CROSSCOMPILING_EMULATOR: wine-run.sh PREFIX PROGRAM ARGS...
# Runs a Windows program under Wine in the build tree's prefix (PREFIX is
# BUILD_DIR/wineprefix), with the environment of wine-env.sh; prepares the
# prefix and starts a primed server first when that has not happened yet.
prefix=$1
shift
KAVRENTA_WINE_RUNNER=1 source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh" "$(dirname "$prefix")" \
  </dev/null >/dev/null 2>&1
exec wine "$@"
