#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, only when something is missing.
set -euo pipefail

# `tools/setup.sh windows`: what the Windows stage needs instead (the cross compiler, Wine and
# GoogleTest's sources to build with the cross compiler).
if [ "${1:-}" = windows ]; then
    PACKAGES=(cmake make g++-mingw-w64-x86-64-posix wine64 googletest
              libz-mingw-w64-dev)  # zlib for the .xlsx export
else
    PACKAGES=(g++ cmake make ccache pkg-config qt6-base-dev qt6-base-dev-tools qt6-l10n-tools libgl-dev
              zlib1g-dev
              fonts-dejavu-core poppler-utils  # the pages' font; the PDF tests read with poppler
              libminizip-dev libexpat1-dev libfreexl-dev  # reading .xlsx and .xls for the import
              unzip  # checks every exported workbook
              libgtest-dev libgmock-dev
              dpkg-dev desktop-file-utils  # the package test: cpack's dependency scan, entry check
              python3-dbfread python3-dbf gdal-bin libreoffice-calc-nogui
              libdbd-xbase-perl  # XBase::Index reads back the index files we write
              libreoffice-base-drivers  # peer readers, ogr2ogr; LibreOffice reads dBase through its driver
              xvfb openbox xdotool xclip x11-utils imagemagick)  # the window on a real display
fi

# Node and npm as the machine has them, Debian's when it has none (SheetJS, below).
if [ "${1:-}" != windows ] && ! command -v npm >/dev/null; then
    PACKAGES+=(nodejs npm)
fi

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Instalez: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi

# SheetJS, the workbook writer the import's peer test reads (build/peers, outside the sources).
if [ "${1:-}" != windows ]; then
    peers="$(cd "$(dirname "$0")/.." && pwd)/build/peers"
    if [ ! -d "$peers/node_modules/xlsx" ]; then
        mkdir -p "$peers"
        npm install --prefix "$peers" --no-save --no-audit --no-fund --silent xlsx
    fi
fi
