# Sources the seed scripts share: small pictures as PAM (RGBA; libwebp's and libjxl's tools read
# it) and, through libwebp's own tools, as PNG for the tools that read only PNG, JPEG or Y4M.
set -eu
out=$1
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# pam FILE WIDTH HEIGHT ALPHA: a gradient, the left half with the given alpha.
pam() {
    local file=$1 w=$2 h=$3 a=$4 x y r g alpha px
    {
        printf 'P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n' "$w" "$h"
        for ((y = 0; y < h; y++)); do
            printf -v g '%02x' $((y * 255 / h))
            for ((x = 0; x < w; x++)); do
                printf -v r '%02x' $((x * 255 / w))
                printf -v alpha '%02x' $((x < w / 2 ? a : 255))
                printf -v px '\\x%s\\x%s\\x80\\x%s' "$r" "$g" "$alpha"
                printf "$px"
            done
        done
    } >"$file"
}

# png FILE WIDTH HEIGHT ALPHA: the same picture as PNG.
png() {
    pam "$tmp/png.pam" "$2" "$3" "$4"
    cwebp -quiet -lossless -exact "$tmp/png.pam" -o "$tmp/png.webp"
    dwebp -quiet "$tmp/png.webp" -o "$1"
}
