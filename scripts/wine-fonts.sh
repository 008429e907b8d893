#!/bin/sh
# Gives a Wine prefix the fonts that Orvanel's windows need:
# - Wine's own (Marlett for the caption buttons, Tahoma and others for dialogs): Debian's Wine
#   does not load them from where fonts-wine installs them, and without them caption buttons show
#   as the letters "0 1 r" and dialog fonts are substituted;
# - a font for the scripts of Windows modules' texts that Wine's own fonts lack (Chinese,
#   Japanese and Korean, from WenQuanYi Micro Hei), linked behind the dialog fonts, so that such a
#   text shows in the lists instead of empty boxes. The dialog font (MS Sans Serif) is linked to
#   Tahoma first, which holds the scripts it lacks (Arabic, Hebrew, Cyrillic...). Scripts that
#   Wine shapes (Sinhala, say) are drawn with the dialog font alone, links left out: no font of
#   this prefix can give them their glyphs.
#
#   scripts/wine-fonts.sh PREFIX
#
# Does nothing for a prefix that it has already set up.
set -e
prefix=$(cd "$1" 2>/dev/null && pwd) || exit 0 # Wine wants an absolute path
target=$prefix/drive_c/windows/Fonts
stamp=$prefix/.orvanel-fonts-2
[ -d "$target" ] || exit 0
[ -f "$stamp" ] && exit 0
for font in /usr/share/wine/fonts/*.ttf /usr/share/fonts/truetype/wqy/wqy-microhei.ttc; do
    [ -e "$font" ] || continue
    [ -e "$target/$(basename "$font")" ] || ln -s "$font" "$target/"
done
key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
scripts='wqy-microhei.ttc,WenQuanYi Micro Hei'
# Wine's own links for Tahoma and Microsoft Sans Serif (fonts of Windows, missing here), then ours.
wine_links='MSGOTHIC.TTC,MS UI Gothic\0MINGLIU.TTC,PMingLiU\0SIMSUN.TTC,SimSun\0GULIM.TTC,Gulim'
wine_links="$wine_links"'\0YUGOTHM.TTC,Yu Gothic UI\0MSJH.TTC,Microsoft JhengHei UI'
wine_links="$wine_links"'\0MSYH.TTC,Microsoft YaHei UI\0MALGUN.TTF,Malgun Gothic'
wine_links="$wine_links"'\0SEGUISYM.TTF,Segoe UI Symbol'
export WINEPREFIX="$prefix" WINEDEBUG=-all
wine reg add "$key" /v "MS Sans Serif" /t REG_MULTI_SZ /d "tahoma.ttf,Tahoma\\0$scripts" /f \
    >/dev/null 2>&1
for face in Tahoma "Microsoft Sans Serif"; do
    wine reg add "$key" /v "$face" /t REG_MULTI_SZ /d "$wine_links\\0$scripts" /f >/dev/null 2>&1
done
wineserver -w
touch "$stamp"
