#!/usr/bin/env bash
# Builds an installable package into dist/:
#   deb      the Debian/Ubuntu package of the window program and orbelan (Release, CPack)
#   windows  orbelan.exe, cross-compiled with MinGW-w64
set -euo pipefail
cd "$(dirname "$0")/.."

# Installs the Debian packages given, only those missing (as tools/setup.sh does).
need() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Instalez: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -ne 0 ] && sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
    fi
}

jobs="$(nproc)"
case "${1:-}" in
deb)
    ./tools/setup.sh
    need dpkg-dev
    cmake -S . -B build/package -DCMAKE_BUILD_TYPE=Release -DORBELAN_GUI=ON -DORBELAN_TESTS=OFF \
          -DORBELAN_BENCH=OFF >/dev/null
    cmake --build build/package -j"$jobs"
    rm -rf build/package/cpack
    (cd build/package && cpack -G DEB -B "$PWD/cpack")
    deb="$(ls build/package/cpack/*.deb)"
    mkdir -p dist
    cp "$deb" dist/
    echo "Pachetul: dist/$(basename "$deb")"
    echo "Instalare: sudo apt install ./dist/$(basename "$deb")   Stergere: sudo apt remove dbf-orbelan"
    ;;
windows)
    toolchain=cmake/toolchains/mingw-w64-x86_64.cmake
    if [ ! -f "$toolchain" ]; then
        echo "Lipseste $toolchain: portarea pentru Windows nu este in acest arbore." >&2
        exit 1
    fi
    need cmake make g++-mingw-w64-x86-64-posix
    cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE="$PWD/$toolchain" -DCMAKE_BUILD_TYPE=Release \
          -DORBELAN_GUI=OFF -DORBELAN_TESTS=OFF -DORBELAN_BENCH=OFF >/dev/null
    cmake --build build/windows -j"$jobs" --target orbelan
    mkdir -p dist
    cp build/windows/cli/orbelan.exe dist/
    echo "Programul: dist/orbelan.exe"
    ;;
*)
    echo "Folosire: $0 deb|windows" >&2
    exit 2
    ;;
esac
