#!/bin/sh
# Draws the pictures of the display settings dialog with ImageMagick:
#   star.png   the arrow pad, a violet four-pointed star on white, 100 x 100.
#              Drawn without anti-aliasing so that its background is pure
#              white, which the dialog shows transparent.
#   -depth 8 apply.png  the "设置" icon, a push button, 22 x 22.
#   -depth 8 leave.png  the "离开" icon, a red square with a power symbol, 28 x 28.
# Run it from anywhere; it writes beside itself.
set -e
cd "$(dirname "$0")"

# The star: four points around (50,50), each split into a lit and a shaded
# facet as if lit from the top left, with a dark violet outline.
light='#D9A8F7'
mid='#A052DC'
dark='#651C96'
line='#45106B'
convert -size 100x100 xc:white +antialias \
  -stroke none \
  -fill "$light" -draw "polygon 50,1 37,37 50,50" \
  -fill "$mid"   -draw "polygon 50,1 63,37 50,50" \
  -fill "$mid"   -draw "polygon 98,50 63,37 50,50" \
  -fill "$dark"  -draw "polygon 98,50 63,63 50,50" \
  -fill "$dark"  -draw "polygon 50,98 63,63 50,50" \
  -fill "$mid"   -draw "polygon 50,98 37,63 50,50" \
  -fill "$mid"   -draw "polygon 1,50 37,63 50,50" \
  -fill "$light" -draw "polygon 1,50 37,37 50,50" \
  -fill none -stroke "$line" -strokewidth 1 \
  -draw "polygon 50,1 63,37 98,50 63,63 50,98 37,63 1,50 37,37" \
  -define png:color-type=2 star.png

# The push button: a grey raised base with a round green cap.
convert -size 22x22 xc:none \
  -fill '#D4D0C8' -stroke '#404040' -strokewidth 1 -draw "roundrectangle 1,8 20,20 2,2" \
  -stroke '#FFFFFF' -draw "line 2,9 19,9" \
  -fill '#2E9E3E' -stroke '#1B5E25' -draw "ellipse 10.5,9 6,5 0,360" \
  -fill '#8FE39A' -stroke none -draw "ellipse 8.5,7 2.5,1.5 0,360" \
  -depth 8 apply.png

# Leaving: a red square with a white power symbol.
convert -size 28x28 xc:none \
  -fill '#D42020' -stroke '#7A0D0D' -strokewidth 1 -draw "roundrectangle 1,1 26,26 3,3" \
  -fill none -stroke white -strokewidth 2.5 -draw "circle 13.5,14.5 13.5,7.5" \
  -fill '#D42020' -stroke none -draw "polygon 13.5,14.5 7,4 20,4" \
  -stroke white -strokewidth 2.5 -draw "line 13.5,4.5 13.5,13" \
  -depth 8 leave.png
