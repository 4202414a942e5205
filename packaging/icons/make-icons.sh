#!/usr/bin/env bash
# Renders the program's icon, quenlo.svg, into the usual hicolor PNG sizes
# beside it (hicolor/<size>x<size>/apps/quenlo.png). The PNGs are committed;
# run this again after changing the SVG. Needs rsvg-convert (Debian:
# librsvg2-bin) and optipng when present.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
command -v rsvg-convert >/dev/null || {
    echo "rsvg-convert is missing (Debian: apt install librsvg2-bin)" >&2
    exit 1
}
for size in 16 22 24 32 48 64 128 256 512; do
    out="$here/hicolor/${size}x${size}/apps/quenlo.png"
    mkdir -p "$(dirname "$out")"
    rsvg-convert --width "$size" --height "$size" "$here/quenlo.svg" --output "$out"
    if command -v optipng >/dev/null; then optipng -quiet -o5 -strip all "$out"; fi
done
