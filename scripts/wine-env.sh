#!/usr/bin/env bash
# Source this with the build directory as argument: prepares the build tree's
# own Wine prefix (once), exports the environment and starts a primed
# wineserver that stays until wine_stop. wine-run.sh sources it too (with
# KAVRENTA_WINE_RUNNER=1), so ctest works even when nobody sourced it first;
# its server then ends by itself shortly after the last program.

KAVRENTA_BUILD_DIR=$(cd "$1" && pwd)
export WINEPREFIX="$KAVRENTA_BUILD_DIR/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# Everything below that changes shared state runs under one lock per build
# tree, since ctest starts several programs at once.
exec {kavrenta_wine_lock}>>"$KAVRENTA_BUILD_DIR/.wine-lock"
flock "$kavrenta_wine_lock"

# A Japanese system locale (ANSI code page 932), from a locale we generate.
KAVRENTA_LOCALE_DIR="$KAVRENTA_BUILD_DIR/locale"
if [[ ! -d "$KAVRENTA_LOCALE_DIR/ja_JP.UTF-8" ]]; then
  mkdir -p "$KAVRENTA_LOCALE_DIR"
  localedef -i ja_JP -f UTF-8 "$KAVRENTA_LOCALE_DIR/ja_JP.UTF-8" 2>/dev/null || true
fi
if [[ -d "$KAVRENTA_LOCALE_DIR/ja_JP.UTF-8" ]]; then
  # This shell cannot load the locale itself (LOCPATH counts for programs it
  # starts), so it would warn: keep that quiet.
  { export LOCPATH="$KAVRENTA_LOCALE_DIR" LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8; } 2>/dev/null
fi

kavrenta_wine_reg() { wine reg add "$@" /f </dev/null >/dev/null 2>&1; }

if [[ ! -f "$WINEPREFIX/.kavrenta-ready" ]]; then
  echo "wine: preparing prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -i </dev/null >/dev/null 2>&1 || true
  wineserver -w
  # Without a window manager Wine draws frame and caption itself.
  kavrenta_wine_reg 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
  kavrenta_wine_reg 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /t REG_SZ /d IPAPGothic
  kavrenta_wine_reg 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ ゴシック' /t REG_SZ /d IPAGothic
  kavrenta_wine_reg 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /t REG_SZ /d IPAPGothic
  wineserver -w
  touch "$WINEPREFIX/.kavrenta-ready"
fi

# One server for the whole run, primed with its background services bound to
# /dev/null: a service started by a test program instead would hold that
# program's output pipe open, and test discovery would wait on it. wineserver
# exits 0 when it started a server and non-zero when one was running already.
if [[ -n ${KAVRENTA_WINE_RUNNER:-} ]]; then
  kavrenta_wine_persist=-p30
else
  kavrenta_wine_persist=-p
fi
if wineserver "$kavrenta_wine_persist" </dev/null >/dev/null 2>&1; then
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
fi

flock -u "$kavrenta_wine_lock"
exec {kavrenta_wine_lock}>&-
unset kavrenta_wine_lock kavrenta_wine_persist

wine_stop() { wineserver -k 2>/dev/null || true; }
