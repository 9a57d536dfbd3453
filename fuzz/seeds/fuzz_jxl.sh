#!/bin/bash
# Seeds for fuzz_jxl, made by cjxl: lossless with alpha, lossy, and lossy progressive (the 1/8
# image path).
. "$(dirname "$0")/common.sh"
pam "$tmp/a.pam" 16 12 80
pam "$tmp/b.pam" 72 64 255
cjxl --quiet "$tmp/a.pam" "$out/lossless.jxl" -d 0 2>/dev/null
cjxl --quiet "$tmp/b.pam" "$out/lossy.jxl" -d 2 2>/dev/null
cjxl --quiet "$tmp/b.pam" "$out/progressive.jxl" -d 2 -p 2>/dev/null
