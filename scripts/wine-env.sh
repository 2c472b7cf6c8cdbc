#!/usr/bin/env bash
# Source this with the build directory as argument: prepares the build tree's
# own Wine prefix (once), exports the environment and starts wineserver.
# wine_stop stops the server again.

KAVRENTA_BUILD_DIR=$(cd "$1" && pwd)
export WINEPREFIX="$KAVRENTA_BUILD_DIR/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# A Japanese system locale (ANSI code page 932), from a locale we generate.
KAVRENTA_LOCALE_DIR="$KAVRENTA_BUILD_DIR/locale"
if [[ ! -d "$KAVRENTA_LOCALE_DIR/ja_JP.UTF-8" ]]; then
  mkdir -p "$KAVRENTA_LOCALE_DIR"
  localedef -i ja_JP -f UTF-8 "$KAVRENTA_LOCALE_DIR/ja_JP.UTF-8" 2>/dev/null || true
fi
if [[ -d "$KAVRENTA_LOCALE_DIR/ja_JP.UTF-8" ]]; then
  export LOCPATH="$KAVRENTA_LOCALE_DIR" LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
fi

wine_reg() { wine reg add "$@" /f >/dev/null 2>&1; }

if [[ ! -f "$WINEPREFIX/.kavrenta-ready" ]]; then
  echo "wine: preparing prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  # Without a window manager Wine draws frame and caption itself.
  wine_reg 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
  wine_reg 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /t REG_SZ /d IPAPGothic
  wine_reg 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ ゴシック' /t REG_SZ /d IPAGothic
  wine_reg 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /t REG_SZ /d IPAPGothic
  wineserver -w
  touch "$WINEPREFIX/.kavrenta-ready"
fi

# Keep one server for the whole run, primed so that test discovery does not
# wait on Wine's background services.
wineserver -p
wine cmd /c exit >/dev/null 2>&1 || true

wine_stop() { wineserver -k 2>/dev/null || true; }
