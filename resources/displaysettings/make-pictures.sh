#!/bin/sh
# Draws the pictures of the display settings dialog with ImageMagick, each
# at its size and at twice its size ("@2x", for screens scaled by 2):
#   star.png   the arrow pad, a violet four-pointed star on white, 100 x 100.
#              Drawn without anti-aliasing so that its background is pure
#              white, which the dialog shows transparent.
#   apply.png  the "设置" icon, a push button, 22 x 22.
#   leave.png  the "离开" icon, a red square with a power symbol, 28 x 28.
# Run it from anywhere; it writes beside itself.
set -e
cd "$(dirname "$0")"

# The star: four points around (50,50), each split into a lit and a shaded
# facet as if lit from the top left, with a dark violet outline.
light='#D9A8F7'
mid='#A052DC'
dark='#651C96'
line='#45106B'
star() { # scale, file
  convert -size $((100 * $1))x$((100 * $1)) xc:white +antialias \
    -stroke none -draw "scale $1,$1
      fill '$light' polygon 50,1 37,37 50,50
      fill '$mid'   polygon 50,1 63,37 50,50
      fill '$mid'   polygon 98,50 63,37 50,50
      fill '$dark'  polygon 98,50 63,63 50,50
      fill '$dark'  polygon 50,98 63,63 50,50
      fill '$mid'   polygon 50,98 37,63 50,50
      fill '$mid'   polygon 1,50 37,63 50,50
      fill '$light' polygon 1,50 37,37 50,50" \
    -fill none -stroke "$line" -strokewidth 1 \
    -draw "scale $1,$1 polygon 50,1 63,37 98,50 63,63 50,98 37,63 1,50 37,37" \
    -define png:color-type=2 "$2"
}

# The push button: a grey raised base with a round green cap.
apply() { # scale, file
  convert -size $((22 * $1))x$((22 * $1)) xc:none \
    -fill '#D4D0C8' -stroke '#404040' -strokewidth 1 -draw "scale $1,$1 roundrectangle 1,8 20,20 2,2" \
    -stroke '#FFFFFF' -draw "scale $1,$1 line 2,9 19,9" \
    -fill '#2E9E3E' -stroke '#1B5E25' -draw "scale $1,$1 ellipse 10.5,9 6,5 0,360" \
    -fill '#8FE39A' -stroke none -draw "scale $1,$1 ellipse 8.5,7 2.5,1.5 0,360" \
    -depth 8 "$2"
}

# Leaving: a red square with a white power symbol.
leave() { # scale, file
  convert -size $((28 * $1))x$((28 * $1)) xc:none \
    -fill '#D42020' -stroke '#7A0D0D' -strokewidth 1 -draw "scale $1,$1 roundrectangle 1,1 26,26 3,3" \
    -fill none -stroke white -strokewidth 2.5 -draw "scale $1,$1 circle 13.5,14.5 13.5,7.5" \
    -fill '#D42020' -stroke none -draw "scale $1,$1 polygon 13.5,14.5 7,4 20,4" \
    -stroke white -strokewidth 2.5 -draw "scale $1,$1 line 13.5,4.5 13.5,13" \
    -depth 8 "$2"
}

for picture in star apply leave; do
  "$picture" 1 "$picture.png"
  "$picture" 2 "$picture@2x.png"
done
