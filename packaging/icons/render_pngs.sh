#!/usr/bin/env bash
# Renders the committed PNG icons from kr4720.svg; run again after changing the
# drawing. Needs rsvg-convert (Debian: librsvg2-bin).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
for size in 16 32 48 64 128 256; do
    mkdir -p "${size}x${size}"
    rsvg-convert -w "$size" -h "$size" kr4720.svg -o "${size}x${size}/kr4720.png"
done
