#!/usr/bin/env bash
# Renders the hicolor PNG icons from the hand-drawn SVG (data/linux/icons). The PNGs are
# committed, so a build needs no SVG renderer; run this again after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")/../data/linux/icons"
command -v rsvg-convert >/dev/null || { echo "rsvg-convert is missing (librsvg2-bin)" >&2; exit 1; }
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "${size}x${size}"
    rsvg-convert -w "$size" -h "$size" org.vellumark.Vellumark.svg \
        -o "${size}x${size}/org.vellumark.Vellumark.png"
done
