#!/bin/bash
# Seeds for fuzz_webp, made by libwebp's tools: lossy, lossless and lossy with alpha, one with
# an EXIF chunk, and an animation of three frames.
. "$(dirname "$0")/common.sh"
pam "$tmp/a.pam" 16 12 80
pam "$tmp/b.pam" 16 12 255
cwebp -quiet -q 50 "$tmp/b.pam" -o "$out/lossy.webp"
cwebp -quiet -lossless "$tmp/a.pam" -o "$out/lossless.webp"
cwebp -quiet -q 50 -alpha_q 50 "$tmp/a.pam" -o "$out/alpha.webp"
printf 'II*\0\10\0\0\0\1\0\22\1\3\0\1\0\0\0\6\0\0\0\0\0\0\0' >"$tmp/o.exif"
webpmux -set exif "$tmp/o.exif" "$out/lossy.webp" -o "$out/exif.webp" >/dev/null 2>&1
png "$tmp/a.png" 16 12 80
png "$tmp/b.png" 16 12 255
img2webp -loop 2 -lossy -d 40 "$tmp/a.png" -d 5 "$tmp/b.png" -lossless "$tmp/a.png" -o "$out/animated.webp" >/dev/null 2>&1
