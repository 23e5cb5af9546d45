#!/usr/bin/env bash
# Draws the PEN cursor: a slanted pencil whose tip, the hot spot, is at (1, 30).
set -euo pipefail
cd "$(dirname "$0")"
/usr/bin/convert -size 32x32 xc:none \
  -stroke black -strokewidth 1 -fill '#f2c230' \
  -draw "polygon 5,22 22,5 27,10 10,27" \
  -fill '#e8a0a0' -draw "polygon 22,5 25,2 30,7 27,10" \
  -fill '#f5deb3' -draw "polygon 5,22 10,27 2,30" \
  -fill black -draw "polygon 1,31 3,27 5,29" \
  pen.png
