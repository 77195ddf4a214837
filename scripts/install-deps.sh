#!/usr/bin/env bash
# Installs every Debian package Vellumark needs to build, test and run. Safe to run again.
# With --desktop-readers, also the desktop reading systems the by-hand reader check uses.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git clang libclang-rt-14-dev
    qt6-base-dev qt6-base-dev-tools libqt6printsupport6 libgl-dev
    libtiff-dev libjpeg62-turbo-dev libpng-dev zlib1g-dev libdeflate-dev libpugixml-dev libarchive-dev libdjvulibre-dev djvulibre-bin minidjvu libpoppler-cpp-dev libqpdf-dev
    libtesseract-dev libleptonica-dev tesseract-ocr-eng tesseract-ocr-osd
    libgtest-dev libgmock-dev libfreetype-dev fonts-dejavu-core
    epubcheck default-jre-headless unzip python3 libarchive-tools
    xvfb xauth x11-apps imagemagick unpaper xdotool groff-base
    chromium nodejs parallel
    dpkg-dev file lintian desktop-file-utils appstream shared-mime-info librsvg2-bin
)
# The desktop reading systems tests/readers/check_desktop_readers.sh opens books in: large, and
# only for that check, run by hand.
if [ "${1:-}" = "--desktop-readers" ]; then
    packages+=(calibre fbreader)
fi
# Debian's nodejs comes without npm; a newer nodejs (from NodeSource) brings its own.
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    echo "All build and test packages are installed."
    exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
