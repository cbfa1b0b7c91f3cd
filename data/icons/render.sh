#!/usr/bin/env bash
# Renders the application icon from its drawing into the PNG sizes the desktop looks
# for. The PNG files are kept in the repository, so building needs no renderer; run
# this after changing lentar.svg (needs rsvg-convert, Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 32 48 64 128 256; do
  mkdir -p "${size}x${size}"
  rsvg-convert -w "$size" -h "$size" lentar.svg \
    -o "${size}x${size}/lentar.png"
done
