#!/usr/bin/env bash
# CMAKE_CROSSCOMPILING_EMULATOR: wine-run.sh PREFIX PROGRAM ARGS...
# Runs a Windows test program under Wine in the build tree's prefix.
prefix=$1
shift
export WINEPREFIX="$prefix"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
exec wine "$@"
