#!/bin/sh
# Draws the application icon, a gold key on a blue rounded square, at 32 x 32
# and 16 x 16 pixels with a 256-colour palette (8 bits a pixel, transparency in
# the icon's mask), and writes it to resources/tvn.ico or the file given.
# Needs ImageMagick's convert. Usage: resources/make_icon.sh [output.ico]
set -eu

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/tvn.ico}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

background='#1f5fbf'
edge='#0b3478'
key='#f2c230'
shadow='#8a6508'

# 32 x 32: rounded square; the key's ring at the upper left, the shaft running
# to the lower right with two teeth, each drawn over a darker shadow.
convert -size 32x32 xc:none \
  -fill "$background" -stroke "$edge" -strokewidth 1 -draw 'roundrectangle 0.5,0.5 31.5,31.5 6,6' \
  -stroke "$shadow" -strokewidth 4 -draw 'line 13,13 27,27' \
  -strokewidth 3 -draw 'line 21,21 17,25' -draw 'line 25,25 21,29' \
  -stroke "$key" -strokewidth 3 -draw 'line 12,12 26,26' \
  -strokewidth 2 -draw 'line 20,20 16,24' -draw 'line 24,24 20,28' \
  -fill "$key" -stroke "$shadow" -strokewidth 1 -draw 'circle 10,10 10,3' \
  -fill "$background" -stroke "$shadow" -draw 'circle 9,9 9,6' \
  "$work/icon32.png"

# 16 x 16: the same key drawn pixel by pixel, which stays sharp at this size.
# . transparent, E edge, B background, K key.
cat > "$work/icon16.txt" <<'GRID'
..EEEEEEEEEEEE..
.EBBBBBBBBBBBBE.
EBBBKKKBBBBBBBBE
EBBKKKKKBBBBBBBE
EBKKKBKKKBBBBBBE
EBKKBBBKKBBBBBBE
EBKKKBKKKBBBBBBE
EBBKKKKKKBBBBBBE
EBBBKKKKKKBBBBBE
EBBBBBBBKKKBBBBE
EBBBBBBBBKKKBBBE
EBBBBBBBKBKKKBBE
EBBBBBBBBKBKKKBE
EBBBBBBBBBKBKBBE
.EBBBBBBBBBBBBE.
..EEEEEEEEEEEE..
GRID
awk -v edge="$edge" -v background="$background" -v key="$key" '
  function rgb(hex) {
    return sprintf("%d,%d,%d,255", hexval(substr(hex, 2, 2)), hexval(substr(hex, 4, 2)), hexval(substr(hex, 6, 2)))
  }
  function hexval(h,   i, v) {
    v = 0
    for (i = 1; i <= 2; i++) v = v * 16 + index("0123456789abcdef", tolower(substr(h, i, 1))) - 1
    return v
  }
  BEGIN {
    print "# ImageMagick pixel enumeration: 16,16,255,srgba"
    colour["."] = "0,0,0,0"; colour["E"] = rgb(edge); colour["B"] = rgb(background); colour["K"] = rgb(key)
  }
  { for (i = 1; i <= length($0); i++) printf "%d,%d: (%s)\n", i - 1, NR - 1, colour[substr($0, i, 1)] }
' "$work/icon16.txt" > "$work/icon16.pix"
convert "txt:$work/icon16.pix" "$work/icon16.png"

# Cut the alpha channel to on or off (the icon keeps it as its transparency
# mask) and reduce the colours. ImageMagick writes each size with the fewest
# bits that its palette needs, so both sizes share one palette padded to 256
# colours with a grey ramp: that keeps them at 8 bits a pixel.
convert "$work/icon32.png" -channel A -threshold 50% +channel -colors 200 "$work/icon32q.png"
convert "$work/icon16.png" -channel A -threshold 50% +channel "$work/icon16q.png"
convert "$work/icon32q.png" "$work/icon16q.png" -background none -append -unique-colors "$work/used.png"
used=$(identify -format '%w' "$work/used.png")
convert "$work/used.png" \( -size $((256 - used))x1 gradient:'#000001-#fffffe' \) -background none +append \
  -unique-colors "$work/palette.png"
convert "$work/icon32q.png" "$work/icon16q.png" +dither -remap "$work/palette.png" "$out"
identify "$out"
