#!/bin/sh
# Draws the program's icon, wizard header bitmaps and splash pictures into
# app/res/ (ImageMagick 6, fonts-nanum), each at the size it is shown at, so
# that nothing is stretched on screens of 96, 144 and 192 DPI (100 %, 150 %
# and 200 %). The output is committed; run this again only to change the
# artwork.
#   128 lutrovane.ico     16, 20, 24, 32 and 40 pixels, 48 and 64 as PNG
#   137 header.bmp        32 x 32, 8 bits, run-length encoded, on the white of
#                         the wizard's header
#   138 header-150.bmp    48 x 48, the same at 144 DPI
#   139 header-200.bmp    64 x 64, the same at 192 DPI
#   200 splash.bmp        335 x 300, 8 bits, run-length encoded
#   201 splash-150.bmp    503 x 450, 8 bits, run-length encoded
#   202 splash-200.bmp    670 x 600, 8 bits, run-length encoded
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
icons=
for size in 16 20 24 32 40 48 64; do
  convert "$tmp/mark.png" -resize ${size}x${size} -strip "PNG32:$tmp/$size.png"
  [ $size -ge 48 ] || icons="$icons $tmp/$size.png"
done
# shellcheck disable=SC2086
convert $icons "$tmp/small.ico"
# The 48 and 64 pixel images as PNG, a quarter of their bitmaps' size; Windows
# reads PNG icon images from Vista on. ImageMagick stores only 256 pixel ones
# so: the file is put together here, the bitmaps' entries first.
python3 - "$tmp/small.ico" "$tmp/48.png" "$tmp/64.png" lutrovane.ico <<'EOF2'
import struct, sys
small = open(sys.argv[1], 'rb').read()
count = struct.unpack_from('<H', small, 4)[0]
images = []  # (directory entry without size and offset, image bytes)
for i in range(count):
    entry = small[6 + 16 * i:22 + 16 * i]
    size, offset = struct.unpack_from('<II', entry, 8)
    images.append((entry[:8], small[offset:offset + size]))
for name in sys.argv[2:-1]:
    png = open(name, 'rb').read()
    width, height = struct.unpack_from('>II', png, 16)  # IHDR
    images.append((struct.pack('<BBBBHH', width % 256, height % 256, 0, 0, 1, 32), png))
out = struct.pack('<HHH', 0, 1, len(images))
offset = 6 + 16 * len(images)
for head, data in images:
    out += head + struct.pack('<II', len(data), offset)
    offset += len(data)
open(sys.argv[-1], 'wb').write(out + b''.join(data for _, data in images))
EOF2

keycap "$tmp/header.png" white
convert "$tmp/header.png" -resize 32x32 -colors 256 -type Palette -compress RLE BMP3:header.bmp
convert "$tmp/header.png" -resize 48x48 -colors 256 -type Palette -compress RLE BMP3:header-150.bmp
convert "$tmp/header.png" -resize 64x64 -colors 256 -type Palette -compress RLE BMP3:header-200.bmp

# Splash: 335 x 300 at scale 1, deep blue with the mark, the name and what it
# does; every length and font size times the scale.
splash() {  # $1 scale, $2 output
  s=$1 out=$2
  n() { awk -v v="$1" -v s="$s" 'BEGIN { printf "%d", v * s + 0.5 }'; }
  convert -size "$(n 335)x$(n 300)" gradient:'#123047'-'#0b1b29' -depth 8 \
    -fill '#17415e' -draw "circle $(n 270),$(n 70) $(n 270),$(n 175)" \
    \( "$tmp/mark.png" -resize "$(n 96)x$(n 96)" \) -geometry "+$(n 32)+$(n 40)" -composite \
    -font "$bold" -fill white -pointsize "$(n 38)" -annotate "+$(n 142)+$(n 88)" 'Lutrovane' \
    -font "$regular" -fill '#9fd3d4' -pointsize "$(n 15)" -annotate "+$(n 144)+$(n 114)" '키보드 키 매핑 마법사' \
    -fill '#f28f3b' -draw "rectangle $(n 32),$(n 160) $(n 303),$(n 163)" \
    -font "$regular" -fill '#dfe7ee' -pointsize "$(n 13)" \
    -annotate "+$(n 32)+$(n 194)" '누르는 키를 원하는 키로 바꿉니다.' \
    -annotate "+$(n 32)+$(n 216)" 'Windows가 다시 시작되면 적용됩니다.' \
    -fill '#7f98ad' -pointsize "$(n 12)" -annotate "+$(n 32)+$(n 276)" 'v1.0.3  (2005.03.09)' \
    "$tmp/splash.png"
  # 256 colours without dithering, so that each row of the gradient stays one
  # colour, which run-length encoding keeps small (a sixth of the picture
  # uncompressed). The palette holds every one of the gradient's 50 colours,
  # else the quantizer merges them into a few visible bands; the rest of it
  # goes to the mark and the letters' edges.
  convert -size 1x"$(n 300)" gradient:'#123047'-'#0b1b29' -depth 8 -unique-colors "$tmp/rows.png"
  rows=$(identify -format %w "$tmp/rows.png")
  convert "$tmp/splash.png" +dither -colors $((256 - rows)) -unique-colors "$tmp/rest.png"
  convert "$tmp/rows.png" "$tmp/rest.png" +append -unique-colors "$tmp/palette.png"
  convert "$tmp/splash.png" +dither -remap "$tmp/palette.png" -type Palette -compress RLE \
    "BMP3:$out"
}
splash 1 splash.bmp
splash 1.5 splash-150.bmp
splash 2 splash-200.bmp

# Offset 28 of a BMP is the bit count, 30 the compression (0 none, 1 RLE8).
for f in header.bmp header-150.bmp header-200.bmp splash.bmp splash-150.bmp splash-200.bmp; do
  [ "$(od -An -tu2 -j28 -N4 "$f" | tr -s ' ')" = ' 8 1' ] ||
    { echo "draw-artwork: $f is not a run-length encoded 8-bit bitmap" >&2; exit 1; }
done
