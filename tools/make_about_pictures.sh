#!/bin/sh
# Redraws the About box's picture (a drilled circuit board, 292 x 193, baseline colour JPEG) and its 16 x 16,
# 16-colour window icon into resources/. Needs ImageMagick 6 (convert-im6.q16) and the DejaVu fonts.
set -eu
cd "$(dirname "$0")/../resources"
IM=convert-im6.q16

# Pads: copper ring with a drill hole, at x,y.
pads="40,40 40,55 40,70 40,85 80,40 80,55 80,70 80,85 170,40 195,40 220,40 245,40 270,40 140,140 200,140 120,100 235,100"
rings=""
holes=""
for p in $pads; do
    x=${p%,*}
    y=${p#*,}
    rings="$rings circle $x,$y $((x + 6)),$y"
    holes="$holes circle $x,$y $((x + 2)),$y"
done

$IM -size 292x193 xc:'#0f4d2a' \
    -fill '#17683a' -stroke '#0c3f22' -strokewidth 2 -draw 'roundrectangle 4,4 287,188 12,12' \
    -fill none -stroke white -strokewidth 1 -draw 'rectangle 50,30 70,95' -draw 'arc 55,25 65,35 0,180' \
    -draw 'rectangle 158,28 282,52' \
    -stroke '#d9a521' -strokewidth 4 -fill none \
    -draw 'line 80,40 170,40' -draw 'polyline 80,55 180,55 195,40' -draw 'polyline 80,70 190,70 220,40' \
    -draw 'polyline 80,85 200,85 245,40' -draw 'polyline 40,85 40,120 60,140 140,140' \
    -draw 'polyline 270,40 270,120 250,140 200,140' -draw 'polyline 140,140 120,120 120,100' \
    -draw 'polyline 200,140 235,105 235,100' \
    -stroke none -fill '#e3b33a' -draw "$rings" -fill '#1a1a1a' -draw "$holes" \
    -fill '#0a0a0a' -draw 'circle 16,16 21,16' -draw 'circle 275,16 280,16' -draw 'circle 16,176 21,176' \
    -draw 'circle 275,176 280,176' \
    -fill white -font DejaVu-Sans-Bold -pointsize 20 -draw "text 30,178 'KORVEX'" \
    -font DejaVu-Sans -pointsize 9 -draw "text 160,176 'drill file  >  G-code'" \
    -strip -interlace none -sampling-factor 2x2 -quality 80 -type TrueColor about.jpg

# The icon: a white "i" on a blue disc.
$IM -size 16x16 xc:none -fill '#0000c0' -stroke '#000080' -draw 'circle 7.5,7.5 7.5,0.5' \
    -stroke none -fill white -draw 'rectangle 7,3 8,4' -draw 'rectangle 7,6 8,12' -draw 'rectangle 6,12 9,12' \
    -colors 16 -define png:bit-depth=4 -define png:color-type=3 -strip info.png
