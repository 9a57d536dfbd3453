#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the benchmarks and the program need.
# Idempotent: packages already present are not touched; apt-get update runs only when
# something is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config git clang-format
  clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-image-formats-plugins qt6-wayland
  qt6-svg-dev libqt6svg6 qt6-translations-l10n
  libqt6opengl6-dev libgl1-mesa-dri
  libgl-dev libxkbcommon-dev
  libjpeg62-turbo-dev libjpeg-turbo-progs
  libzip-dev libdeflate-dev zip unzip p7zip-full
  ffmpeg
  libmpv-dev
  xvfb xauth x11-utils xdotool imagemagick
  fonts-dejavu-core
  hyperfine libvips-tools graphicsmagick
  libwebp-dev webp libavif-dev libavif-bin libheif-dev libheif-examples
  libjxl-dev libjxl-tools libtiff-dev libtiff-tools libraw-dev libraw-bin liblcms2-dev libpng-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
  desktop-file-utils appstream dpkg-dev file
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
