#!/bin/bash
# Seeds for fuzz_heif, made by heif-enc: plain, with alpha, with a thumbnail.
. "$(dirname "$0")/common.sh"
png "$tmp/a.png" 16 12 80
png "$tmp/b.png" 32 24 255
heif-enc -q 50 "$tmp/b.png" -o "$out/plain.heic" >/dev/null
heif-enc -q 50 "$tmp/a.png" -o "$out/alpha.heic" >/dev/null
heif-enc -q 50 -t 8 "$tmp/b.png" -o "$out/thumbnail.heic" >/dev/null
