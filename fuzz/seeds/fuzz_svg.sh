#!/bin/bash
# Seeds for fuzz_svg, written as plain text: shapes, paths, gradients, text, transforms,
# references inside the document, entities and references the decoder removes.
# Usage: fuzz_svg.sh <folder>
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
head='<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" width="40" height="30" viewBox="0 0 40 30">'
printf '%s<rect x="2" y="2" width="20" height="10" fill="red" stroke="blue"/><circle cx="30" cy="20" r="8" fill-opacity="0.5"/></svg>\n' "$head" > shapes.svg
printf '%s<path d="M1 1 L39 29 Q20 0 1 29 C5 5 35 5 39 1 Z" fill="#0a0" transform="rotate(10 20 15)"/></svg>\n' "$head" > path.svg
printf '%s<defs><linearGradient id="g"><stop offset="0" stop-color="red"/><stop offset="1" stop-color="blue"/></linearGradient><rect id="r" width="10" height="10"/></defs><rect width="40" height="30" fill="url(#g)"/><use xlink:href="#r" x="5"/></svg>\n' "$head" > gradient.svg
printf '%s<text x="2" y="20" font-size="12" font-family="sans-serif">Ab</text><g opacity="0.5"><polygon points="0,0 40,0 20,30"/></g></svg>\n' "$head" > text.svg
printf '<!DOCTYPE svg [<!ENTITY e "<rect width=\x2710\x27 height=\x2710\x27/>">]>%s&e;</svg>\n' "$head" > entity.svg
printf '<?xml-stylesheet href="x.css"?>%s<style>@import url(a.css); rect{fill:red}</style><image width="10" height="10" xlink:href="side.png"/><rect width="5" height="5"/></svg>\n' "$head" > outside.svg
printf '<svg xmlns="http://www.w3.org/2000/svg" width="0" height="0"><rect width="1e9" height="-5"/></svg>\n' > degenerate.svg
