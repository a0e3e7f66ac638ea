#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test Snipwell.
# Idempotent: apt-get runs only when something is missing. Works as root or through sudo.
#   tools/install-deps.sh            build + test dependencies (djpeg and jpegtran, which
#                                    the lossless JPEG tests check against, and cjpeg)
#   tools/install-deps.sh --dev      also the screenshot tools, xdotool and the programs the
#                                    benchmarks compare with (vips)
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libjpeg62-turbo-dev libturbojpeg0-dev libpng-dev zlib1g-dev libtiff-dev libopenjp2-7-dev
  libmng-dev libjbig-dev libraw-dev libgif-dev libcairo2-dev libexif-dev
  libexiv2-dev liblcms2-dev libxcb1-dev
  libheif-dev libwebp-dev libjxl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  poppler-utils
  cups printer-driver-cups-pdf
  imagemagick
  exiv2 libimage-exiftool-perl
  libjpeg-turbo-progs
  libheif-examples webp libjxl-tools
  clang libclang-rt-14-dev
)
if [[ "${1:-}" == "--dev" ]]; then
  packages+=(xvfb xauth x11-apps xdotool libvips-tools)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
