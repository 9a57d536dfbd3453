#!/bin/bash
# Installs the built tree into a temporary DESTDIR and runs the validators of the desktop entry
# and of the AppStream file on the installed files.
set -eu
build=$1
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null
desktop-file-validate "$dest/usr/share/applications/vorn.desktop"
grep -q '^Exec=vorn %F$' "$dest/usr/share/applications/vorn.desktop"
appstreamcli validate --no-net "$dest/usr/share/metainfo/org.vorn.Vorn.metainfo.xml"
for size in 16x16 32x32 48x48 64x64 128x128 256x256 scalable; do
    ls "$dest/usr/share/icons/hicolor/$size/apps/"vorn.* >/dev/null
done
test -s "$dest/usr/share/man/man1/vorn.1"
echo "desktop files valid"
