#!/bin/sh
# Prepares the Wine prefix that the tests run in: a virtual desktop, so that top-level windows are
# drawn inside one X window. Without a window manager (as under Xvfb), Wine otherwise waits for
# each hidden or destroyed top-level window to be withdrawn, seconds every time.
set -e
prefix=$1
fonts="$(dirname "$0")/../../scripts/wine-fonts.sh"
if [ -f "$prefix/.orvanel-test-prefix" ]; then
    exec sh "$fonts" "$prefix" # fonts added since the prefix was made
fi
export WINEPREFIX="$prefix" WINEDEBUG=-all
wine wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1
wineserver -w
sh "$fonts" "$prefix"
touch "$prefix/.orvanel-test-prefix"
