#!/bin/bash
# Seeds for fuzz_jxl, made by cjxl: lossless with alpha, lossy, and lossy progressive (the 1/8
# image path).
. "$(dirname "$0")/common.sh"
pam "$tmp/a.pam" 16 12 80
pam "$tmp/b.pam" 72 64 255
cjxl --quiet "$tmp/a.pam" "$out/lossless.jxl" -d 0 2>/dev/null
cjxl --quiet "$tmp/b.pam" "$out/lossy.jxl" -d 2 2>/dev/null
cjxl --quiet "$tmp/b.pam" "$out/progressive.jxl" -d 2 -p 2>/dev/null
# An animation of three frames (the animated path), from an APNG written by ffmpeg.
pam "$tmp/c.pam" 16 12 255
for i in 1 2 3; do
    convert "$tmp/c.pam" -modulate 100,100,$((i * 60)) PNG24:"$tmp/f$i.png"
done
ffmpeg -loglevel error -y -framerate 4 -i "$tmp/f%d.png" -f apng "$tmp/anim.png"
cjxl --quiet "$tmp/anim.png" "$out/animated.jxl" -d 0 2>/dev/null
