#!/bin/sh
# Draws the library editor's pictures with ImageMagick: the leafy twig (a
# JPEG, as the dialog shows it) and the small pictures of its buttons.
# Run from this folder; the results are committed, so a build needs no
# ImageMagick.
set -e
cream='rgb(255,251,240)'
bark='rgb(120,78,40)'
leaf='rgb(60,150,50)'
leafdark='rgb(30,100,30)'
vein='rgb(170,215,120)'

# One leaf: an ellipse along the x axis from the twig, with its midrib,
# turned by $3 degrees around the point ($1,$2) where it grows.
leaf() {
    echo "push graphic-context translate $1,$2 rotate $3
          fill $leaf stroke $leafdark stroke-width 1 ellipse 14,0 14,6 0,360
          stroke $vein stroke-width 1 line 1,0 26,0 pop graphic-context"
}

convert -size 121x105 xc:"$cream" \
    -fill none -stroke "$bark" -strokewidth 4 \
    -draw "stroke-linecap round path 'M 12,96 C 40,80 60,58 108,14'" \
    -strokewidth 2 -draw "path 'M 52,66 C 56,52 62,44 70,38'" \
    -draw "$(leaf 24 88 -150) $(leaf 30 84 -60) $(leaf 44 73 -165) $(leaf 48 70 -75)
           $(leaf 70 38 -100) $(leaf 70 38 -30) $(leaf 66 49 -5) $(leaf 80 42 35)
           $(leaf 92 30 -140) $(leaf 96 26 40) $(leaf 106 16 -45)" \
    -quality 90 twig.jpg

# The captioned buttons' pictures, 24 x 24 on a transparent ground.
icon() { convert -size 24x24 xc:none "$@"; }
icon -fill 'rgb(40,160,60)' -stroke 'rgb(20,100,30)' -strokewidth 1 \
    -draw "roundrectangle 9,2 14,21 2,2 roundrectangle 2,9 21,14 2,2" add.png
icon -fill 'rgb(60,120,210)' -stroke 'rgb(30,70,150)' -strokewidth 1 \
    -draw "polygon 2,5 12,12 2,19" \
    -fill 'rgb(250,250,250)' -stroke 'rgb(110,110,110)' \
    -draw "rectangle 14,3 21,8 rectangle 14,15 21,20" \
    -fill 'rgb(60,120,210)' -stroke 'rgb(30,70,150)' -draw "rectangle 14,10 21,13" insert.png
icon -stroke 'rgb(200,40,40)' -strokewidth 4 \
    -draw "stroke-linecap round line 5,5 18,18 line 18,5 5,18" delete.png
icon -fill 'rgb(190,130,60)' -stroke 'rgb(120,78,40)' -strokewidth 1 \
    -draw "rectangle 3,2 14,21" \
    -fill 'rgb(230,190,110)' -draw "polygon 3,2 11,5 11,23 3,21" \
    -fill 'rgb(60,120,210)' -stroke 'rgb(30,70,150)' \
    -draw "polygon 14,8 19,8 19,5 23,11.5 19,18 19,15 14,15" leave.png

# The move arrows, 15 x 15.
convert -size 15x15 xc:none -fill 'rgb(0,128,0)' -stroke 'rgb(0,90,0)' \
    -draw "polygon 7,1 14,8 10,8 10,14 4,14 4,8 0,8" up.png
convert up.png -flip down.png
