#!/usr/bin/env bash
# Renders the tool-bar and menu icons from their drawings in src/ into the PNGs beside this script:
# NN-name.png at 16 x 16 and NN-name@2x.png at 32 x 32. The build uses the committed PNGs; run this
# after changing a drawing (needs rsvg-convert, Debian's librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for svg in src/*.svg; do
  name=$(basename "$svg" .svg)
  rsvg-convert --width 16 --height 16 --format png --output "$name.png" "$svg"
  rsvg-convert --width 32 --height 32 --format png --output "$name@2x.png" "$svg"
done
