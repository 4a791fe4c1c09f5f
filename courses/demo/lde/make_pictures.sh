#!/bin/sh
# Makes the pictures the demo's lesson scripts use, in the course folder given as $1: the flow
# arrow and its mask, the digit font of the flow meter, the pump lamp, and the valve wheel's
# picture series. Needs ImageMagick (IM is the convert program to use).
set -eu
course=$1
IM=${IM:-convert}
bmp="$course/BMP"
mkdir -p "$bmp/MASK"
font=/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf
[ -f "$font" ] || font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
fontarg=""
[ -f "$font" ] && fontarg="-font $font"

# The arrow: drawn on black (the mask shows what is transparent in white).
"$IM" -size 48x24 xc:black -fill '#f39c12' -draw 'polygon 0,7 30,7 30,0 47,12 30,23 30,16 0,16' \
    -type TrueColor BMP3:"$bmp/ARROW.BMP"
"$IM" -size 48x24 xc:white -fill black -draw 'polygon 0,7 30,7 30,0 47,12 30,23 30,16 0,16' \
    -type TrueColor BMP3:"$bmp/MASK/ARROW.BMP"

# Digit font: DIGIT0..DIGIT9, DIGIT# (the point), DIGIT- and the blank DIGIT.
digit() {  # suffix text
    # shellcheck disable=SC2086
    "$IM" -size 16x24 xc:'#102018' -fill '#39ff7a' $fontarg -pointsize 20 -gravity center \
        -annotate 0 "$2" -type TrueColor BMP3:"$bmp/DIGIT$1.BMP"
}
for d in 0 1 2 3 4 5 6 7 8 9; do digit "$d" "$d"; done
digit '#' '.'
digit '-' '-'
"$IM" -size 16x24 xc:'#102018' -type TrueColor BMP3:"$bmp/DIGIT.BMP"

# The pump lamp.
"$IM" -size 24x24 xc:'#27ae60' -fill '#f1c40f' -draw 'circle 12,12 12,3' \
    -type TrueColor BMP3:"$bmp/LAMP.BMP"

# The valve wheel and its series WHEEL#00..WHEEL#03 (a spoke turning).
wheel() {  # file angle
    "$IM" -size 56x56 xc:'#f4f1e8' -stroke '#2c3e50' -strokewidth 5 -fill none \
        -draw 'circle 28,28 28,6' -draw "rotate $2 line -22,0 22,0" \
        -type TrueColor BMP3:"$bmp/$1.BMP"
}
wheel WHEEL 0
i=0
for a in 0 45 90 135; do
    wheel "WHEEL#0$i" "$a"
    i=$((i + 1))
done
