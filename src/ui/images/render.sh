#!/usr/bin/env bash
# Renders the program's pictures from their SVG sources with rsvg-convert
# (librsvg2-bin). The PNGs are committed; run this after changing a drawing:
#   src/ui/images/render.sh
set -euo pipefail
cd "$(dirname "$0")"

# render SVG PNG SIDE [rsvg-convert options...]
render() {
    rsvg-convert -w "$3" -h "$3" "${@:4}" "$1" -o "$2.tmp"
    # No gamma or time chunks: the same drawing gives the same bytes.
    convert "$2.tmp" -strip "$2"
    rm -f "$2.tmp"
}

render app-16colours.svg app.png 36
for side in 48 64 128 256; do render app.svg "app-$side.png" "$side"; done
# The control's face is opaque: a square on its window's grey.
render app.svg trayface.png 32 --background-color='#d4d4d4'
render app.svg trayface@2x.png 64 --background-color='#d4d4d4'
# Within 256 colours at both densities, as the 32 x 32 one is by itself.
convert trayface@2x.png +dither -colors 256 -strip trayface@2x.png
render cross.svg cross.png 11
rsvg-convert splash.svg | convert - -strip splash.png

for png in *.png; do echo "$png $(identify -format '%wx%h, %k colours' "$png")"; done
