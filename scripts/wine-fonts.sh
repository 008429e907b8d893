#!/bin/sh
# Gives a Wine prefix Wine's own fonts (Marlett for the caption buttons, Tahoma and others for
# dialogs): Debian's Wine does not load them from where fonts-wine installs them, and without
# them caption buttons show as the letters "0 1 r" and dialog fonts are substituted.
#
#   scripts/wine-fonts.sh PREFIX
set -e
fonts=/usr/share/wine/fonts
target=$1/drive_c/windows/Fonts
[ -d "$fonts" ] && [ -d "$target" ] || exit 0
for font in "$fonts"/*.ttf; do
    [ -e "$target/$(basename "$font")" ] || ln -s "$font" "$target/"
done
