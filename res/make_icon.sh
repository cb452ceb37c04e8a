#!/bin/sh
# Draws ordanel.ico (32x32 and 16x16): a sheet with a header bar and list rows.
# Needs ImageMagick; run from this folder and commit the result.
set -eu
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
convert -size 32x32 xc:none \
  -fill '#1F5FA8' -draw 'roundrectangle 1,1 30,30 4,4' \
  -fill white -draw 'rectangle 6,5 25,26' \
  -fill '#F0A020' -draw 'rectangle 6,5 25,9' \
  -fill '#1F5FA8' -draw 'rectangle 8,12 11,13' -draw 'rectangle 13,12 23,13' \
  -draw 'rectangle 8,16 11,17' -draw 'rectangle 13,16 21,17' \
  -draw 'rectangle 8,20 11,21' -draw 'rectangle 13,20 23,21' \
  -draw 'rectangle 8,24 11,24' -draw 'rectangle 13,24 19,24' \
  PNG32:"$tmp/32.png"
convert -size 16x16 xc:none \
  -fill '#1F5FA8' -draw 'rectangle 0,0 15,15' \
  -fill white -draw 'rectangle 3,2 12,13' \
  -fill '#F0A020' -draw 'rectangle 3,2 12,4' \
  -fill '#1F5FA8' -draw 'rectangle 4,6 11,6' -draw 'rectangle 4,8 9,8' -draw 'rectangle 4,10 11,10' \
  -draw 'rectangle 4,12 8,12' \
  PNG32:"$tmp/16.png"
convert "$tmp/16.png" "$tmp/32.png" ordanel.ico
