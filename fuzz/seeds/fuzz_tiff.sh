#!/bin/bash
# Seeds for fuzz_tiff, made with ImageMagick and tiffcp: compressions, tiles, planes, pages,
# depths, gray, CMYK and orientation. Usage: fuzz_tiff.sh <folder>
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
convert -size 16x12 gradient:red-blue -depth 8 -compress None rgb.tif
convert -size 16x12 gradient:red-none -compress LZW rgba.tif
convert -size 16x12 gradient:white-black -colorspace Gray -depth 16 -compress Zip gray16.tif
convert -size 16x12 gradient:red-blue -colorspace CMYK -compress None cmyk.tif
convert -size 16x12 gradient:red-blue -compress JPEG jpeg.tif
convert -size 16x12 gradient:red-blue -orient RightTop -compress RLE oriented.tif
convert -size 16x12 gradient:red-blue -size 8x8 gradient:green-yellow -compress LZW pages.tif
tiffcp -t -w 16 -l 16 rgb.tif tiled.tif
tiffcp -p separate rgb.tif planes.tif
tiffcp -c lzw:2 rgb.tif predictor.tif
convert -size 40x20 gradient:white-black -colorspace Gray -depth 8 -compress LZW gray8.tif
tiffcp -t -w 16 -l 16 gray8.tif tiled-gray.tif
tiffcp -t -w 16 -l 16 rgba.tif tiled-rgba.tif
# Larger than the fuzzer's shown sizes, so both readers shrink them while reading.
convert -size 200x150 gradient:red-blue -depth 8 -compress Zip shrunk.tif
tiffcp -t -w 64 -l 64 shrunk.tif shrunk-tiled.tif
convert -size 200x150 gradient:red-none -depth 16 -compress Zip shrunk16.tif
