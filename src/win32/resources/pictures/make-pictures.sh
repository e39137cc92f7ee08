#!/usr/bin/env bash
# Draws Palisor's pictures with ImageMagick: the banner (390 x 80 JPEG), the logo (JPEG), the
# splash picture (449 x 291 JPEG) and the two tray icons (started and stopped, 32 x 32 and
# 16 x 16 in one .ico). The outputs are committed beside this script; run it again after a change.
set -euo pipefail
cd "$(dirname "$0")"
IM=/usr/bin/convert
BOLD=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
BOOK=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

shield='M 32,40 L 128,12 L 224,40 L 224,120 C 224,184 176,226 128,246 C 80,226 32,184 32,120 Z'
stakes=''
for x in 78 103 128 153 178; do
  stakes+="polygon $((x-10)),196 $((x-10)),86 $x,64 $((x+10)),86 $((x+10)),196 "
done

# shield PICTURE TOP BOTTOM RIM: a 256 x 256 shield with a palisade of five stakes.
shield() {
  local out=$1 top=$2 bottom=$3 rim=$4
  $IM -size 256x256 xc:none \
    \( -size 256x256 gradient:"$top"-"$bottom" \) \
    \( -size 256x256 xc:none -fill white -draw "path '$shield'" \) \
    -compose over -delete 0 -compose copy_opacity -composite \
    -fill none -stroke "$rim" -strokewidth 10 -draw "path '$shield'" \
    -stroke none -fill '#f4f1e8' -draw "$stakes" \
    -fill '#8a6a3c' -draw "rectangle 66,108 190,118 rectangle 66,160 190,170" \
    "$out"
}

shield "$work/on.png" '#4fd45a' '#136b1f' '#0b3d12'
shield "$work/off.png" '#f0625a' '#8c1410' '#4d0906'
for state in on off; do
  $IM "$work/$state.png" \( -clone 0 -resize 32x32 \) \( -clone 0 -resize 16x16 \) -delete 0 "fwl$state.ico"
done

# Banner: night-blue band, the shield, the name and the line under it.
$IM -size 390x80 gradient:'#0e2a4f'-'#1d5c99' -rotate 0 \
  \( "$work/on.png" -resize 64x64 \) -geometry +14+8 -composite \
  -font "$BOLD" -pointsize 34 -fill white -annotate +90+44 'Palisor' \
  -font "$BOOK" -pointsize 12 -fill '#bcd6f2' -annotate +92+66 'Personal Firewall  -  Network & System Guard' \
  -fill '#ffffff22' -draw 'rectangle 0,76 390,80' \
  -quality 90 banner.jpg

# Logo for the bottom row of the main window: a small badge in the banner's colours.
$IM -size 40x150 gradient:'#1d5c99'-'#0e2a4f' -rotate 90 \
  \( "$work/on.png" -resize 30x30 \) -geometry +6+5 -composite \
  -font "$BOLD" -pointsize 19 -fill white -annotate +42+27 'Palisor' \
  -quality 92 logo.jpg

# Splash picture: a palisade skyline under a dusk sky, the shield and the product name. The
# lower right corner stays plain: the splash window puts its button there (309, 214, 121 x 21).
fence=''
for x in $(seq 0 22 460); do
  fence+="polygon $x,291 $x,236 $((x+9)),222 $((x+18)),236 $((x+18)),291 "
done
$IM -size 449x291 gradient:'#0b1f3d'-'#2f7bc0' \
  -fill '#5a3f22' -draw "$fence" \
  -fill '#3d2a15' -draw 'rectangle 0,250 449,256 rectangle 0,272 449,278' \
  \( "$work/on.png" -resize 132x132 \) -geometry +30+40 -composite \
  -font "$BOLD" -pointsize 52 -fill white -annotate +178+106 'Palisor' \
  -font "$BOOK" -pointsize 17 -fill '#d7e6f7' -annotate +182+136 'Personal Firewall' \
  -font "$BOOK" -pointsize 12 -fill '#a9c4e4' -annotate +182+160 'Network Guard  |  System Guard' \
  -annotate +182+178 'Advanced Network Guard' \
  -font "$BOOK" -pointsize 10 -fill '#a9c4e4' -annotate +14+206 'Version 1.0' \
  -quality 90 splash.jpg

ls -l banner.jpg logo.jpg splash.jpg fwlon.ico fwloff.ico
