#!/usr/bin/env bash
# Draws the program's own pictures (used where the desktop's icon theme has none) with
# ImageMagick. Run it again after changing a picture; the PNGs are committed.
set -euo pipefail
cd "$(dirname "$0")"
S=24
page='fill white stroke #333333 stroke-width 1 path "M 4.5,2.5 L 14.5,2.5 L 19.5,7.5 L 19.5,21.5 L 4.5,21.5 Z"'
fold='fill #dddddd stroke #333333 stroke-width 1 path "M 14.5,2.5 L 14.5,7.5 L 19.5,7.5"'
draw() { local name=$1; shift; convert -size ${S}x${S} xc:none -strokewidth 1 "$@" "PNG32:$name.png"; }

draw new -draw "$page" -draw "$fold" -draw 'fill #2e7d32 stroke none rectangle 10,11 13,18 rectangle 8,13 15,16'
draw open -draw 'fill #e0a030 stroke #7a5410 path "M 2.5,6.5 L 9.5,6.5 L 11.5,8.5 L 20.5,8.5 L 20.5,19.5 L 2.5,19.5 Z"' \
  -draw 'fill #f6c860 stroke #7a5410 path "M 2.5,19.5 L 6.5,11.5 L 23.5,11.5 L 19.5,19.5 Z"'
draw save -draw 'fill #3465a4 stroke #1c3a66 roundrectangle 3.5,3.5 20.5,20.5 2,2' \
  -draw 'fill white stroke none rectangle 7,4 17,10' -draw 'fill #1c3a66 rectangle 13,5 15,9' \
  -draw 'fill #dddddd rectangle 7,14 17,20'
draw cut -draw 'stroke #444444 stroke-width 2 line 7,3 16,15 line 17,3 8,15' \
  -draw 'fill none stroke #cc0000 stroke-width 2 circle 7,18 7,21 circle 17,18 17,21'
draw copy -draw 'fill white stroke #333333 rectangle 3.5,2.5 14.5,16.5' \
  -draw 'fill white stroke #333333 rectangle 9.5,7.5 20.5,21.5' \
  -draw 'stroke #888888 line 12,11 18,11 line 12,14 18,14 line 12,17 18,17'
draw paste -draw 'fill #c08040 stroke #6b4520 roundrectangle 4.5,3.5 19.5,21.5 2,2' \
  -draw 'fill #dddddd stroke #333333 rectangle 8.5,2.5 15.5,5.5' \
  -draw 'fill white stroke #333333 rectangle 7.5,8.5 16.5,19.5'
arrow_left='fill none stroke #3465a4 stroke-width 2.5 path "M 7,9 L 15,9 C 19,9 20,13 20,14 C 20,17 18,19 14,19 L 10,19"'
draw undo -draw "$arrow_left" -draw 'fill #3465a4 stroke none path "M 2,9 L 8,4 L 8,14 Z"'
draw redo -flop -draw "$arrow_left" -draw 'fill #3465a4 stroke none path "M 2,9 L 8,4 L 8,14 Z"' -flop
draw find -draw 'fill #d8e8f8 stroke #333333 stroke-width 2 circle 10,10 10,16' \
  -draw 'stroke #333333 stroke-width 3.5 line 14.5,14.5 21,21'
draw find-next -draw 'fill #d8e8f8 stroke #333333 stroke-width 2 circle 9,9 9,14' \
  -draw 'stroke #333333 stroke-width 3 line 12.5,12.5 16,16' \
  -draw 'fill #2e7d32 stroke none path "M 14,16 L 22,16 L 18,22 Z"'
draw replace -fill '#333333' -stroke none -font DejaVu-Sans-Bold -pointsize 11 -draw 'text 1,11 "A"' \
  -fill '#cc0000' -draw 'text 13,22 "B"' -draw 'stroke #3465a4 stroke-width 2 fill none line 9,15 14,10' \
  -draw 'fill #3465a4 stroke none path "M 11,18 L 6,18 L 6,13 Z"'
# "Slepit": broken lines (grey) drawn into one line by a glue tube.
draw glue -draw 'stroke #888888 stroke-width 2 line 2,5 10,5 line 2,9 7,9 line 2,13 10,13' \
  -draw 'fill #3465a4 stroke #1c3a66 roundrectangle 12.5,3.5 20.5,14.5 2,2' -draw 'fill #999999 stroke none rectangle 15,15 18,18' \
  -draw 'stroke #2e7d32 stroke-width 2.5 line 2,21 22,21'
# "Slepit přímou řeč": the Czech quotation marks joined by a line.
draw speech -fill '#cc0000' -stroke none -font DejaVu-Sans-Bold -pointsize 18 -draw 'text 0,19 "„"' -draw 'text 13,17 "“"' \
  -draw 'stroke #2e7d32 stroke-width 2.5 line 2,22 22,22'
# The program's own icon: a page with glued lines.
convert -size 48x48 xc:none -draw 'fill #fafafa stroke #333333 stroke-width 2 roundrectangle 7,3 41,45 3,3' \
  -draw 'stroke #3465a4 stroke-width 3 line 13,12 35,12 line 13,19 35,19 line 13,26 35,26 line 13,33 28,33' \
  -draw 'fill #cc0000 stroke none circle 36,37 36,44' -fill white -font DejaVu-Sans-Bold -pointsize 11 -draw 'text 32,41 "L"' \
  PNG32:lepotex.png
