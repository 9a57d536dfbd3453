#!/bin/bash
# Seeds for fuzz_png, made with ImageMagick: every colour type and depth, interlacing, colour
# chunks. Usage: fuzz_png.sh <folder>
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
convert -size 16x12 gradient:red-blue -alpha off PNG24:rgb8.png
convert -size 16x12 gradient:red-none PNG32:rgba8.png
convert -size 16x12 gradient:red-blue -alpha off PNG48:rgb16.png
convert -size 16x12 gradient:red-none PNG64:rgba16.png
convert -size 16x12 gradient:red-blue PNG8:palette.png
convert -size 16x12 gradient:white-black -type Bilevel PNG:gray1.png
convert -size 16x12 gradient:white-black -define png:color-type=0 PNG:gray8.png
convert -size 16x12 gradient:white-none -define png:color-type=4 PNG:grayalpha.png
convert -size 16x12 gradient:red-blue -interlace PNG PNG32:interlaced.png
convert -size 16x12 gradient:red-blue -gamma 1.0 -define png:include-chunk=gAMA,cHRM PNG24:gamma.png
# Animated PNG (the animation path): three frames, the later ones partly transparent so that
# dispose and blend matter.
convert -size 16x12 xc:red PNG32:f1.png
convert -size 16x12 gradient:blue-none PNG32:f2.png
convert -size 16x12 gradient:none-lime PNG32:f3.png
ffmpeg -loglevel error -y -framerate 4 -i f%d.png -f apng -plays 2 animated.png
rm -f f1.png f2.png f3.png
