#!/bin/bash
# Builds the Debian package from the built tree (cpack) and inspects it: the dependencies were
# computed by dpkg-shlibdeps, and the program, help pages, desktop entry, icon and manual page
# are in it.
set -eu
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/vorn_*.deb)
info=$(dpkg-deb -I "$deb")
echo "$info" | grep -E '^ Depends:.*libqt6widgets6' >/dev/null || { echo "no computed Depends:"; echo "$info"; exit 1; }
echo "$info" | grep -E '^ Version: ' 
list=$(dpkg-deb -c "$deb")
for f in ./usr/bin/vorn ./usr/share/applications/vorn.desktop \
         ./usr/share/icons/hicolor/scalable/apps/vorn.svg ./usr/share/icons/hicolor/48x48/apps/vorn.png \
         ./usr/share/man/man1/vorn.1 ./usr/share/doc/vorn/help/d_main.htm \
         ./usr/share/doc/vorn/help/e_shot_main.png \
         ./usr/share/metainfo/org.vorn.Vorn.metainfo.xml; do
    echo "$list" | grep -F " $f" >/dev/null || { echo "missing in package: $f"; exit 1; }
done
echo "package ok: $(basename "$deb")"
