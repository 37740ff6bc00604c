#!/usr/bin/env bash
# Takes the README's pictures: docs/main-window.png (the main window listing a few sample
# certificates), docs/new-certificate.png and docs/change-password.png (the two dialogs, opened
# from the File menu with the keyboard and filled in).
#   scripts/screenshot.sh [build directory, default build]
# Runs wardkeep.exe of that build in the build tree's private Wine prefix (through its
# wine-run.sh) on a private Xvfb display, seeds sample certificates into the prefix's registry
# and removes them again afterwards. Needs xvfb, x11-apps (xwd), imagemagick (convert) and
# xdotool.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
docs="$root/docs"

# Everything below runs on a display of its own.
if [ -z "${WARDKEEP_SCREENSHOT_DISPLAY:-}" ]; then
    for tool in xvfb-run xwd convert xdotool; do
        command -v "$tool" >/dev/null || { echo "screenshot.sh: $tool is missing" >&2; exit 1; }
    done
    if [ ! -x "$build/wine-run.sh" ] || [ ! -f "$build/wardkeep.exe" ]; then
        echo "screenshot.sh: build wardkeep first: no $build/wardkeep.exe or wine-run.sh" >&2
        exit 1
    fi
    export WARDKEEP_SCREENSHOT_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build"
fi

wine_run() { "$build/wine-run.sh" "$@"; }
users='HKLM\SOFTWARE\Lockwell\Users_lkw_20'
cookies='HKLM\SOFTWARE\Lockwell\Cookies_lkw_20'
# user ID, user key bytes, cookie bytes (hex)
certificates=(
    "achen 5a1f09c3e27b44d08a6e13f5c2b97d01 77c3a1e0"
    "jdoe 9e04b6d2f1a8573c0b4d8e2a61f7c935 3b8d6f12"
    "mwilson c7d9e1a0b3f24658e7a19c0d2b5f8e63 a04e9c57"
    "s.okafor 1b6e8f3da9c2074e5f1d3b8a6c9e2d47 e5172b9c"
)
program_pid=""
shot="$(mktemp -d)"

stop_wine() { WINEPREFIX="$build/wineprefix" wineserver -k 2>/dev/null || true; }

# The prefix is the build tree's own: removing the sample values is all the tidying it needs.
cleanup() {
    if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
        kill "$program_pid" 2>/dev/null || true
    fi
    for certificate in "${certificates[@]}"; do
        read -r user_id _ <<<"$certificate"
        for key in "$users" "$cookies"; do
            wine_run reg delete "$key" /v "$user_id" /f /reg:32 >/dev/null 2>&1 || true
        done
    done
    rm -rf "$shot"
    stop_wine
}

# A Wine session left from an earlier run would still talk to that run's display.
stop_wine
trap cleanup EXIT

for certificate in "${certificates[@]}"; do
    read -r user_id user_key cookie <<<"$certificate"
    wine_run reg add "$users" /v "$user_id" /t REG_BINARY /d "$user_key" /f /reg:32 >/dev/null
    wine_run reg add "$cookies" /v "$user_id" /t REG_BINARY /d "$cookie" /f /reg:32 >/dev/null
done

wine_run "$build/wardkeep.exe" &
program_pid=$!

# Waits for a window captioned exactly $1 and captures it into docs/$2 once two captures in a
# row agree, so that it has finished painting.
capture() {
    local previous="" current deadline=$((SECONDS + 30))
    while :; do
        if xwd -name "$1" -silent -out "$shot/window.xwd" 2>/dev/null; then
            current="$(md5sum <"$shot/window.xwd")"
            [ "$current" = "$previous" ] && break
            previous="$current"
        fi
        if [ $SECONDS -ge $deadline ]; then
            echo "screenshot.sh: no settled \"$1\" window within 30 s" >&2
            exit 1
        fi
        kill -0 "$program_pid" 2>/dev/null || { echo "screenshot.sh: wardkeep.exe ended" >&2; exit 1; }
        sleep 0.2
    done
    mkdir -p "$docs"
    convert "xwd:$shot/window.xwd" "png:$docs/$2"
    echo "wrote $docs/$2 ($(convert "$docs/$2" -format '%wx%h' info:))"
}

# Types into the focused window of the program, as a user at the keyboard would.
keys() { xdotool key --delay 50 "$@"; sleep 0.3; }
type_text() { xdotool type --delay 30 "$1"; sleep 0.2; }

capture Wardkeep main-window.png
main=$(xdotool search --name '^Wardkeep$' | head -1)
xdotool windowfocus --sync "$main"

# File > New Certificate, filled in (passwords show as asterisks).
keys alt+f n
xdotool search --sync --name '^New Certificate$' >/dev/null
type_text "s.okafor"
keys Tab; type_text "correct horse"
keys Tab; type_text "correct horse"
capture "New Certificate" new-certificate.png
keys Escape

# Click a certificate, then File > Change Password, the old password typed.
xdotool mousemove --window "$main" 50 78 click 1
sleep 0.3
keys alt+f c
xdotool search --sync --name '^Change Password$' >/dev/null
type_text "correct horse"
capture "Change Password" change-password.png
keys Escape

# taskkill without /f asks the window to close, as its close box would; the dialog ends.
wine_run taskkill /im wardkeep.exe >/dev/null 2>&1 || true
for _ in $(seq 100); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
done
