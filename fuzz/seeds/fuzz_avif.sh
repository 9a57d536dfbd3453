#!/bin/bash
# Seeds for fuzz_avif, made by avifenc: 8 bits 4:2:0, 10 bits 4:4:4 with alpha, lossless, and
# one with rotation and mirror boxes.
. "$(dirname "$0")/common.sh"
png "$tmp/a.png" 16 12 80
png "$tmp/b.png" 16 12 255
avifenc -j 1 -s 10 "$tmp/b.png" "$out/plain.avif" >/dev/null
avifenc -j 1 -s 10 -d 10 -y 444 "$tmp/a.png" "$out/deep_alpha.avif" >/dev/null
avifenc -j 1 -s 10 -l "$tmp/a.png" "$out/lossless.avif" >/dev/null
avifenc -j 1 -s 10 --irot 1 --imir 1 "$tmp/b.png" "$out/turned.avif" >/dev/null
