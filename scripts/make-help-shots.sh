#!/bin/sh
# Renews the screenshots of the help pages (resources/help/?_shot_*.png): builds the shot
# taker and runs it in a virtual X server of 1280 x 900 pixels.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
cmake --build "$build" --target help_shots
xvfb-run -a -s '-screen 0 1280x900x24' "$build/help_shots" "$here/resources/help"
echo "screenshots written to resources/help"
