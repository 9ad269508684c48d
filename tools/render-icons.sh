#!/usr/bin/env bash
# Renders the PNG sizes of the icon from data/icons/kelvane.svg (librsvg's
# rsvg-convert); run after changing the SVG and commit the result.
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
for size in 16 24 32 48 64 128 256; do
  mkdir -p "${size}x${size}"
  rsvg-convert -w "$size" -h "$size" kelvane.svg -o "${size}x${size}/kelvane.png"
done
