#!/bin/sh
# Draws the library editor's pictures with ImageMagick: the leafy twig (a
# JPEG, as the dialog shows it) and the small pictures of its buttons, each
# at its size and at twice its size ("@2x", for screens scaled by 2).
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

# Every picture is drawn in its own units, `scale` device pixels to a unit.
twig() { # scale, file
    convert -size $((121 * $1))x$((105 * $1)) xc:"$cream" \
        -fill none -stroke "$bark" -strokewidth 4 \
        -draw "scale $1,$1 stroke-linecap round path 'M 12,96 C 40,80 60,58 108,14'" \
        -strokewidth 2 -draw "scale $1,$1 path 'M 52,66 C 56,52 62,44 70,38'" \
        -draw "scale $1,$1 $(leaf 24 88 -150) $(leaf 30 84 -60) $(leaf 44 73 -165) $(leaf 48 70 -75)
               $(leaf 70 38 -100) $(leaf 70 38 -30) $(leaf 66 49 -5) $(leaf 80 42 35)
               $(leaf 92 30 -140) $(leaf 96 26 40) $(leaf 106 16 -45)" \
        -quality 90 "$2"
}

# The captioned buttons' pictures, 24 x 24 on a transparent ground; the
# drawing follows the file.
icon() { # scale, file, drawing...
    scale=$1 file=$2
    shift 2
    convert -size $((24 * scale))x$((24 * scale)) xc:none "$@" "$file"
}
add() {
    icon "$1" "$2" -fill 'rgb(40,160,60)' -stroke 'rgb(20,100,30)' -strokewidth 1 \
        -draw "scale $1,$1 roundrectangle 9,2 14,21 2,2 roundrectangle 2,9 21,14 2,2"
}
insert() {
    icon "$1" "$2" -fill 'rgb(60,120,210)' -stroke 'rgb(30,70,150)' -strokewidth 1 \
        -draw "scale $1,$1 polygon 2,5 12,12 2,19" \
        -fill 'rgb(250,250,250)' -stroke 'rgb(110,110,110)' \
        -draw "scale $1,$1 rectangle 14,3 21,8 rectangle 14,15 21,20" \
        -fill 'rgb(60,120,210)' -stroke 'rgb(30,70,150)' -draw "scale $1,$1 rectangle 14,10 21,13"
}
delete() {
    icon "$1" "$2" -stroke 'rgb(200,40,40)' -strokewidth 4 \
        -draw "scale $1,$1 stroke-linecap round line 5,5 18,18 line 18,5 5,18"
}
leave() {
    icon "$1" "$2" -fill 'rgb(190,130,60)' -stroke 'rgb(120,78,40)' -strokewidth 1 \
        -draw "scale $1,$1 rectangle 3,2 14,21" \
        -fill 'rgb(230,190,110)' -draw "scale $1,$1 polygon 3,2 11,5 11,23 3,21" \
        -fill 'rgb(60,120,210)' -stroke 'rgb(30,70,150)' \
        -draw "scale $1,$1 polygon 14,8 19,8 19,5 23,11.5 19,18 19,15 14,15"
}

# The move arrows, 15 x 15.
up() {
    convert -size $((15 * $1))x$((15 * $1)) xc:none -fill 'rgb(0,128,0)' -stroke 'rgb(0,90,0)' \
        -draw "scale $1,$1 polygon 7,1 14,8 10,8 10,14 4,14 4,8 0,8" "$2"
}

for scale in 1 2; do
    suffix=$([ "$scale" = 1 ] || echo "@${scale}x")
    twig "$scale" "twig$suffix.jpg"
    for picture in add insert delete leave up; do
        "$picture" "$scale" "$picture$suffix.png"
    done
    convert "up$suffix.png" -flip "down$suffix.png"
done
