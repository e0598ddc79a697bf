#!/usr/bin/env bash
# Renders the program icon qel1-agent.png from qel1-agent.svg (ImageMagick). The PNG is
# kept in the repository, so a build does not need this script.
set -euo pipefail
cd "$(dirname "$0")"
convert -background none -density 96 qel1-agent.svg -resize 64x64 -depth 8 -strip PNG32:qel1-agent.png
