#!/usr/bin/env bash
# Renders the PNG sizes of the icon from data/icons/kelvane.svg (librsvg's
# rsvg-convert); run after changing the SVG and commit the result.
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
for size in 16 24 32 48 64 128 256; do
  mkdir -p "${size}x${size}"
  rsvg-convert -w "$size" -h "$size" kelvane.svg -o "${size}x${size}/kelvane.png"
done
# The Windows icon, every size in one .ico, embedded in the programs.
convert 16x16/kelvane.png 24x24/kelvane.png 32x32/kelvane.png 48x48/kelvane.png \
  64x64/kelvane.png 128x128/kelvane.png 256x256/kelvane.png kelvane.ico
