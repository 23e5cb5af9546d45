#!/usr/bin/env bash
# Renders the program icon's PNG files from the two SVG drawings. The PNG files are kept in
# the repository, so the build never runs this; run it again after changing a drawing.
# Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
# The small sizes use the drawing with fewer, bolder shapes.
for size in 16 32; do
  rsvg-convert --width "$size" --height "$size" mugwarp-small.svg --output "mugwarp-$size.png"
done
for size in 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" mugwarp.svg --output "mugwarp-$size.png"
done
