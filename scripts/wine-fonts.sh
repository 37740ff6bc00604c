#!/bin/sh
# Puts Wine's own fonts into the prefix's C:\windows\Fonts when they are missing:
#   scripts/wine-fonts.sh <prefix>
# Debian's Wine 8 leaves that folder empty and does not load its fonts from /usr/share/wine/fonts,
# so Marlett, which draws the caption buttons, is missing: the close box shows the letter "r"
# (Marlett's close glyph) in a substitute font, and captions lose Tahoma.
set -e
prefix=$1
fonts="$prefix/drive_c/windows/Fonts"
[ -d "$prefix/drive_c/windows" ] || exit 0 # not a prefix (yet)
for source in /usr/share/wine/fonts /usr/local/share/wine/fonts; do
    if [ -f "$source/marlett.ttf" ] && [ ! -f "$fonts/marlett.ttf" ]; then
        mkdir -p "$fonts"
        cp "$source"/* "$fonts/"
        echo "wine-fonts.sh: copied Wine's fonts from $source into $fonts" >&2
        break
    fi
done
