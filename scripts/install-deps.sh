#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need,
# but only when one of them is missing.
set -euo pipefail
packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libjpeg-dev libgif-dev libpng-dev libtiff-dev zlib1g-dev
  libexif-dev liblcms2-dev libwebp-dev libheif-dev libjxl-dev
  libdlib-dev libdlib-data
  libgtest-dev libbenchmark-dev
  xvfb xauth desktop-file-utils dpkg-dev appstream
  xdg-utils poppler-utils ghostscript bubblewrap
  libfltk1.3-dev libjpeg62-turbo-dev libx11-dev libxext-dev libxft-dev libfontconfig-dev
  libxrender-dev libxcursor-dev libxfixes-dev libxinerama-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
