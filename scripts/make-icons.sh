#!/bin/sh
# Renews the PNG icons of the hicolor theme (resources/icons/hicolor/) from resources/icons/vorn.svg.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
cmake --build "$build" --target render_icons
"$build/render_icons" "$here/resources/icons/vorn.svg" "$here/resources/icons/hicolor"
echo "icons written to resources/icons/hicolor"
