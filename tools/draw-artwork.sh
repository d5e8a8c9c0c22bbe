#!/bin/sh
# Draws the program's icon, wizard header bitmap and splash picture into
# app/res/ (ImageMagick 6, fonts-nanum). The output is committed; run this
# again only to change the artwork.
#   128 lutrovane.ico  32 x 32 and 16 x 16
#   137 header.bmp     32 x 32, 8 bits, on the white of the wizard's header
#   200 splash.bmp     335 x 300, 8 bits
set -eu
cd "$(dirname "$0")/../app/res"
fonts=/usr/share/fonts/truetype/nanum
bold=$fonts/NanumSquareB.ttf
regular=$fonts/NanumGothic.ttf
for f in "$bold" "$regular"; do
  [ -f "$f" ] || { echo "draw-artwork: $f missing (apt-get install fonts-nanum)" >&2; exit 1; }
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The mark, drawn at 128 x 128 and scaled down: a keycap whose face carries a
# bent arrow, one key turned into another.
keycap() {  # $1 output, $2 background
  convert -size 128x128 "xc:$2" \
    -fill '#1d3b53' -draw 'roundrectangle 10,16 118,122 18,18' \
    -fill '#e9eef2' -draw 'roundrectangle 10,8 118,110 18,18' \
    -fill '#ffffff' -draw 'roundrectangle 22,16 106,92 12,12' \
    -stroke '#0f8b8d' -strokewidth 11 -fill none \
    -draw 'path "M 40,78 L 40,52 Q 40,36 56,36 L 84,36"' \
    -stroke none -fill '#0f8b8d' -draw 'polygon 82,20 100,36 82,52' \
    -fill '#f28f3b' -draw 'circle 40,80 40,70' \
    "$1"
}

keycap "$tmp/mark.png" none
convert "$tmp/mark.png" -resize 32x32 "$tmp/32.png"
convert "$tmp/mark.png" -resize 16x16 "$tmp/16.png"
convert "$tmp/32.png" "$tmp/16.png" lutrovane.ico

keycap "$tmp/header.png" white
convert "$tmp/header.png" -resize 32x32 -colors 256 -type Palette -compress none BMP3:header.bmp

# Splash: 335 x 300, deep blue with the mark, the name and what it does.
convert -size 335x300 gradient:'#123047'-'#0b1b29' \
  -fill '#17415e' -draw 'circle 270,70 270,175' \
  \( "$tmp/mark.png" -resize 96x96 \) -geometry +32+40 -composite \
  -font "$bold" -fill white -pointsize 38 -annotate +142+88 'Lutrovane' \
  -font "$regular" -fill '#9fd3d4' -pointsize 15 -annotate +144+114 '키보드 키 매핑 마법사' \
  -fill '#f28f3b' -draw 'rectangle 32,160 303,163' \
  -font "$regular" -fill '#dfe7ee' -pointsize 13 \
  -annotate +32+194 '누르는 키를 원하는 키로 바꿉니다.' \
  -annotate +32+216 'Windows가 다시 시작되면 적용됩니다.' \
  -fill '#7f98ad' -pointsize 12 -annotate +32+276 'v1.0.3  (2005.03.09)' \
  -colors 256 -type Palette -compress none BMP3:splash.bmp

for f in header.bmp splash.bmp; do
  # Offset 28 of a BMP is the bit count, 30 the compression (0, none).
  [ "$(od -An -tu2 -j28 -N4 "$f" | tr -s ' ')" = ' 8 0' ] ||
    { echo "draw-artwork: $f is not an uncompressed 8-bit bitmap" >&2; exit 1; }
done
