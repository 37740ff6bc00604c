#!/usr/bin/env bash
# Installs what is missing, builds Wardkeep and starts it under Wine on $DISPLAY, in your own
# Wine prefix ($WINEPREFIX, else ~/.wine), so certificates persist as on a real machine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh wardkeep
if [ -z "${DISPLAY:-}" ]; then
    cat >&2 <<'TXT'
Wardkeep is built (build/wardkeep.exe) but there is no X display to show it on.
Run this from a desktop session, or over ssh -X, so that DISPLAY is set; or start one with
    Xvfb :1 -screen 0 1024x768x24 &  export DISPLAY=:1
and run this script again (the window is then invisible; see scripts/screenshot.sh).
TXT
    exit 1
fi
export WINEDEBUG="${WINEDEBUG:--all}"
# Stops a new prefix from offering to install Mono and Gecko, which Wardkeep does not use.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=;mshtml=}"
# Marlett and Tahoma, which draw the title bar, where the prefix lacks them.
prefix="${WINEPREFIX:-$HOME/.wine}"
[ -d "$prefix/drive_c/windows" ] || wineboot -i
scripts/wine-fonts.sh "$prefix"
exec wine build/wardkeep.exe
