#!/usr/bin/env bash
# Renders the PNG sizes of the program icon from data/icons/pictorra.svg with ImageMagick. The
# PNGs are kept in the repository, so building and installing never need a renderer; run this
# after changing the drawing.
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
for size in 48 256; do
    mkdir -p "$size"
    # Rendered at (about) the target size rather than scaled down from a large picture, so the
    # thin lines keep their weight.
    convert -background none -density $((72 * size / 256 + 1)) pictorra.svg -resize "${size}x${size}" \
        -depth 8 "$size/pictorra.png"
done
